// Previews through the Windows Imaging Component: the system's decoders,
// and whichever the user has added (HEIF, camera RAW).
#include <windows.h>
#include <objbase.h>
#include <wincodec.h>

#include <vector>

#include "sys/text.h"
#include "sys/thumbnail.h"

namespace sys {

namespace {

template <class T>
struct Com {
  T* p = nullptr;
  ~Com() {
    if (p) p->Release();
  }
  T** out() { return &p; }
  T* operator->() const { return p; }
};

// Connection threads are the system's own; each call joins COM for its length.
struct ComScope {
  HRESULT hr = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
  ~ComScope() {
    if (SUCCEEDED(hr)) CoUninitialize();
  }
};

unsigned bytesPerPixel(IWICImagingFactory* factory, const WICPixelFormatGUID& format) {
  Com<IWICComponentInfo> info;
  Com<IWICPixelFormatInfo> pixel;
  UINT bits = 0;
  if (FAILED(factory->CreateComponentInfo(format, info.out())) ||
      FAILED(info->QueryInterface(IID_IWICPixelFormatInfo, (void**)pixel.out())) ||
      FAILED(pixel->GetBitsPerPixel(&bits)))
    return 4;  // what the pixels become on the way: 32 bits
  return bits < 8 ? 1 : (bits + 7) / 8;
}

// The EXIF orientation tag of JPEG and TIFF frames; 1 (as stored) when absent.
int orientationOf(IWICBitmapFrameDecode* frame) {
  Com<IWICMetadataQueryReader> reader;
  if (FAILED(frame->GetMetadataQueryReader(reader.out()))) return 1;
  for (const wchar_t* query : {L"/app1/ifd/{ushort=274}", L"/ifd/{ushort=274}"}) {
    PROPVARIANT value;
    PropVariantInit(&value);
    int found = 0;
    if (SUCCEEDED(reader->GetMetadataByName(query, &value)) && value.vt == VT_UI2) found = value.uiVal;
    PropVariantClear(&value);
    if (found) return found;
  }
  return 1;
}

bool encodeJpeg(IWICImagingFactory* factory, const std::string& bgr, uint32_t width, uint32_t height,
                std::string& jpeg) {
  Com<IStream> stream;
  Com<IWICBitmapEncoder> encoder;
  Com<IWICBitmapFrameEncode> frame;
  Com<IPropertyBag2> options;
  if (FAILED(CreateStreamOnHGlobal(nullptr, TRUE, stream.out())) ||
      FAILED(factory->CreateEncoder(GUID_ContainerFormatJpeg, nullptr, encoder.out())) ||
      FAILED(encoder->Initialize(stream.p, WICBitmapEncoderNoCache)) ||
      FAILED(encoder->CreateNewFrame(frame.out(), options.out())))
    return false;
  PROPBAG2 quality = {};
  quality.pstrName = (LPOLESTR)L"ImageQuality";
  VARIANT value = {};  // VT_EMPTY, as VariantInit leaves it, without importing oleaut32
  value.vt = VT_R4;
  value.fltVal = 0.82f;
  options->Write(1, &quality, &value);
  WICPixelFormatGUID format = GUID_WICPixelFormat24bppBGR;
  if (FAILED(frame->Initialize(options.p)) || FAILED(frame->SetSize(width, height)) ||
      FAILED(frame->SetPixelFormat(&format)) || format != GUID_WICPixelFormat24bppBGR ||
      FAILED(frame->WritePixels(height, width * 3, (UINT)bgr.size(), (BYTE*)bgr.data())) ||
      FAILED(frame->Commit()) || FAILED(encoder->Commit()))
    return false;
  HGLOBAL memory = nullptr;
  STATSTG stat = {};
  if (FAILED(GetHGlobalFromStream(stream.p, &memory)) || FAILED(stream->Stat(&stat, STATFLAG_NONAME))) return false;
  const char* bytes = (const char*)GlobalLock(memory);
  if (!bytes) return false;
  jpeg.assign(bytes, (size_t)stat.cbSize.QuadPart);
  GlobalUnlock(memory);
  return true;
}

Preview previewOf(IWICImagingFactory* factory, const std::wstring& path, int size, std::string& jpeg) {
  Com<IWICBitmapDecoder> decoder;
  Com<IWICBitmapFrameDecode> frame;
  // The decoder keeps the file open: the header checked is the one decoded.
  if (FAILED(factory->CreateDecoderFromFilename(path.c_str(), nullptr, GENERIC_READ, WICDecodeMetadataCacheOnDemand,
                                                decoder.out())) ||
      FAILED(decoder->GetFrame(0, frame.out())))
    return Preview::NotAnImage;
  UINT width = 0, height = 0;
  WICPixelFormatGUID native = {};
  if (FAILED(frame->GetSize(&width, &height)) || FAILED(frame->GetPixelFormat(&native))) return Preview::NotAnImage;
  ImageFacts facts{width, height, bytesPerPixel(factory, native), 1};
  if (!previewFits(facts, size)) return Preview::TooLarge;

  UINT longer = width > height ? width : height;
  UINT w = width, h = height;
  if (longer > (UINT)size) {
    w = (UINT)(((uint64_t)width * size + longer / 2) / longer);
    h = (UINT)(((uint64_t)height * size + longer / 2) / longer);
    if (w == 0) w = 1;
    if (h == 0) h = 1;
  }
  Com<IWICBitmapScaler> scaler;
  Com<IWICFormatConverter> converter;
  if (FAILED(factory->CreateBitmapScaler(scaler.out())) ||
      FAILED(scaler->Initialize(frame.p, w, h, WICBitmapInterpolationModeFant)) ||
      FAILED(factory->CreateFormatConverter(converter.out())) ||
      FAILED(converter->Initialize(scaler.p, GUID_WICPixelFormat32bppPBGRA, WICBitmapDitherTypeNone, nullptr, 0.0,
                                   WICBitmapPaletteTypeCustom)))
    return Preview::NotAnImage;
  std::vector<BYTE> bgra((size_t)w * h * 4);
  if (FAILED(converter->CopyPixels(nullptr, w * 4, (UINT)bgra.size(), bgra.data()))) return Preview::NotAnImage;
  // Premultiplied pixels laid on white: each channel gains what alpha leaves.
  std::string bgr((size_t)w * h * 3, '\0');
  for (size_t i = 0, o = 0; i < bgra.size(); i += 4, o += 3) {
    BYTE clear = (BYTE)(255 - bgra[i + 3]);
    for (int k = 0; k < 3; ++k) {
      unsigned v = bgra[i + k] + clear;
      bgr[o + k] = (char)(v > 255 ? 255 : v);
    }
  }
  std::string upright;
  uint32_t uw = 0, uh = 0;
  orientPixels(bgr, w, h, orientationOf(frame.p), upright, uw, uh);
  return encodeJpeg(factory, upright, uw, uh, jpeg) ? Preview::Made : Preview::NotAnImage;
}

}  // namespace

Preview makePreview(const std::string& path, int size, std::string& jpeg) {
  jpeg.clear();
  ComScope com;
  if (FAILED(com.hr) && com.hr != RPC_E_CHANGED_MODE) return Preview::NotAnImage;
  Com<IWICImagingFactory> factory;
  if (FAILED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                              (void**)factory.out())))
    return Preview::NotAnImage;
  Preview result = previewOf(factory.p, toWide(path), size, jpeg);
  if (result != Preview::Made) jpeg.clear();
  return result;
}

}  // namespace sys
