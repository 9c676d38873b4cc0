// The ZIP layout. Property: the length computed before sending equals the
// bytes that are then written, and an archive whose fields can hold its
// names and count reads back record by record as what was laid out.
#include <vector>

#include "files/zip_layout.h"
#include "fuzz_support.h"

namespace {

// Archives up to this size are written out and read back; larger ones are
// only counted.
constexpr uint64_t kReadBackLimit = 1 << 20;
constexpr uint64_t kFieldLimit = 65535;

uint64_t get16(const std::string& a, uint64_t at) {
  return (uint64_t)(unsigned char)a[at] | (uint64_t)(unsigned char)a[at + 1] << 8;
}

uint64_t get32(const std::string& a, uint64_t at) { return get16(a, at) | get16(a, at + 2) << 16; }

void checkReadBack(const std::string& a, const std::vector<files::ZipEntry>& entries, const files::ZipLayout& z) {
  uint64_t end = a.size() - files::kEndRecordBytes;
  FUZZ_CHECK(get32(a, end) == 0x06054B50);
  FUZZ_CHECK(get16(a, end + 10) == entries.size());
  FUZZ_CHECK(get32(a, end + 12) == z.centralSize);
  FUZZ_CHECK(get32(a, end + 16) == z.centralOffset);
  uint64_t at = z.centralOffset;
  for (const files::ZipEntry& e : entries) {
    FUZZ_CHECK(at + files::kCentralHeaderBytes <= end && get32(a, at) == 0x02014B50);
    uint64_t nameLength = get16(a, at + 28);
    FUZZ_CHECK(nameLength == e.name.size() && at + files::kCentralHeaderBytes + nameLength <= end);
    FUZZ_CHECK(a.compare(at + files::kCentralHeaderBytes, nameLength, e.name) == 0);
    FUZZ_CHECK(get32(a, at + 16) == e.crc && get32(a, at + 24) == e.size);
    uint64_t local = get32(a, at + 42);
    FUZZ_CHECK(local == e.offset && local + files::kLocalHeaderBytes + nameLength <= z.centralOffset);
    FUZZ_CHECK(get32(a, local) == 0x04034B50);
    FUZZ_CHECK(get16(a, local + 26) == e.name.size() && a.compare(local + files::kLocalHeaderBytes, nameLength, e.name) == 0);
    at += files::kCentralHeaderBytes + nameLength + get16(a, at + 30) + get16(a, at + 32);
  }
  FUZZ_CHECK(at == end);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::Input in{data, size};
  std::vector<files::ZipEntry> entries;
  size_t count = fuzz::takeByte(in) % 64;
  for (size_t i = 0; i < count; ++i) {
    files::ZipEntry e;
    std::string piece = fuzz::takeString(in, 64);
    // A repeat count lets a short input make names longer than 16 bits hold.
    size_t repeat = fuzz::takeByte(in) % 8 == 7 ? 1100 : 1;
    for (size_t r = 0; r < repeat; ++r) e.name += piece;
    uint8_t sizeShape = fuzz::takeByte(in);
    e.size = sizeShape < 200 ? sizeShape : (uint64_t)fuzz::takeByte(in) << (sizeShape % 40);
    e.crc = (uint32_t)fuzz::takeByte(in) * 0x01010101u;
    e.dosDate = files::dosDate(1970 + fuzz::takeByte(in), 1 + fuzz::takeByte(in) % 12, 1 + fuzz::takeByte(in) % 31);
    e.dosTime = files::dosTime(fuzz::takeByte(in) % 24, fuzz::takeByte(in) % 60, fuzz::takeByte(in) % 60);
    entries.push_back(std::move(e));
  }

  files::ZipLayout z = files::layoutZip(entries);
  bool readBack = z.total <= kReadBackLimit;
  bool fits = entries.size() <= kFieldLimit;
  std::string archive;
  uint64_t written = 0;
  auto put = [&](const std::string& bytes) {
    written += bytes.size();
    if (readBack) archive += bytes;
  };
  for (const files::ZipEntry& e : entries) {
    FUZZ_CHECK(e.offset == written);
    put(files::localHeader(e));
    written += e.size;
    if (readBack) archive.append((size_t)e.size, '\x5a');
    fits = fits && e.name.size() <= kFieldLimit;
  }
  FUZZ_CHECK(written == z.centralOffset);
  for (const files::ZipEntry& e : entries) put(files::centralHeader(e));
  FUZZ_CHECK(written - z.centralOffset == z.centralSize);
  put(files::endRecord(entries.size(), z.centralSize, z.centralOffset));
  FUZZ_CHECK(written == z.total);
  if (readBack && fits) checkReadBack(archive, entries, z);
  return 0;
}
