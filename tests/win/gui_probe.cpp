// A test driver that reaches the desktop programs from outside, as a user
// or the shell would: finds windows, reads and presses controls, sends
// messages, reads the clipboard and the registry, and takes pictures of
// windows. It reads one command per line on stdin (fields separated by
// tabs) and answers each with one JSON line on stdout.
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

namespace {

std::wstring wide(const std::string& s) {
  if (s.empty()) return {};
  int n = MultiByteToWideChar(CP_UTF8, 0, s.data(), (int)s.size(), nullptr, 0);
  std::wstring w((size_t)n, L'\0');
  MultiByteToWideChar(CP_UTF8, 0, s.data(), (int)s.size(), w.data(), n);
  return w;
}

std::string utf8(const std::wstring& w) {
  if (w.empty()) return {};
  int n = WideCharToMultiByte(CP_UTF8, 0, w.data(), (int)w.size(), nullptr, 0, nullptr, nullptr);
  std::string s((size_t)n, '\0');
  WideCharToMultiByte(CP_UTF8, 0, w.data(), (int)w.size(), s.data(), n, nullptr, nullptr);
  return s;
}

std::string quote(const std::wstring& w) {
  std::string out = "\"";
  for (unsigned char c : utf8(w)) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += (char)c;
    } else if (c < 0x20) {
      char buf[8];
      snprintf(buf, sizeof buf, "\\u%04x", c);
      out += buf;
    } else {
      out += (char)c;
    }
  }
  return out + "\"";
}

std::string num(long long v) { return std::to_string(v); }
HWND handle(const std::string& s) { return (HWND)(INT_PTR)std::strtoll(s.c_str(), nullptr, 10); }
long long integer(const std::string& s) { return std::strtoll(s.c_str(), nullptr, 0); }

constexpr UINT kSendTimeoutMs = 5000;

LRESULT sendTimed(HWND w, UINT msg, WPARAM wp, LPARAM lp, bool* ok = nullptr) {
  DWORD_PTR result = 0;
  LRESULT r = SendMessageTimeoutW(w, msg, wp, lp, SMTO_ABORTIFHUNG, kSendTimeoutMs, &result);
  if (ok) *ok = r != 0;
  return (LRESULT)result;
}

std::wstring windowText(HWND w) {
  LRESULT length = sendTimed(w, WM_GETTEXTLENGTH, 0, 0);
  std::vector<wchar_t> buf((size_t)length + 2);
  sendTimed(w, WM_GETTEXT, buf.size(), (LPARAM)buf.data());
  return buf.data();
}

std::wstring className(HWND w) {
  wchar_t buf[64] = {};
  GetClassNameW(w, buf, 64);
  return buf;
}

std::string rectJson(const RECT& r) {
  char buf[96];
  snprintf(buf, sizeof buf, "[%ld,%ld,%ld,%ld]", r.left, r.top, r.right, r.bottom);
  return buf;
}

std::string windowJson(HWND w) {
  RECT r{}, c{};
  GetWindowRect(w, &r);
  GetClientRect(w, &c);
  DWORD pid = 0;
  GetWindowThreadProcessId(w, &pid);
  return "{\"hwnd\":" + num((INT_PTR)w) + ",\"title\":" + quote(windowText(w)) +
         ",\"visible\":" + (IsWindowVisible(w) ? "true" : "false") + ",\"iconic\":" + (IsIconic(w) ? "true" : "false") +
         ",\"rect\":" + rectJson(r) + ",\"client\":[" + num(c.right) + "," + num(c.bottom) + "],\"style\":" +
         num(GetWindowLongW(w, GWL_STYLE)) + ",\"dpi\":" + num(GetDpiForWindow(w)) + ",\"pid\":" + num(pid) + "}";
}

// The window's direct children in z-order, which is their creation order.
std::string controlsJson(HWND parent) {
  std::string out = "[";
  for (HWND c = GetWindow(parent, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
    RECT r{};
    GetWindowRect(c, &r);
    MapWindowPoints(nullptr, parent, (POINT*)&r, 2);
    std::wstring cls = className(c);
    if (out.size() > 1) out += ",";
    out += "{\"hwnd\":" + num((INT_PTR)c) + ",\"id\":" + num(GetDlgCtrlID(c)) + ",\"class\":" + quote(cls);
    out += ",\"text\":" + quote(windowText(c));
    out += ",\"rect\":[" + num(r.left) + "," + num(r.top) + "," + num(r.right - r.left) + "," + num(r.bottom - r.top);
    out += std::string("],\"visible\":") + (IsWindowVisible(c) ? "true" : "false");
    out += ",\"style\":" + num((unsigned)GetWindowLongW(c, GWL_STYLE));
    out += ",\"exstyle\":" + num((unsigned)GetWindowLongW(c, GWL_EXSTYLE));
    if (_wcsicmp(cls.c_str(), L"Edit") == 0) out += ",\"limit\":" + num(sendTimed(c, EM_GETLIMITTEXT, 0, 0));
    if (_wcsicmp(cls.c_str(), L"ComboBox") == 0) {
      RECT dropped{};
      sendTimed(c, CB_GETDROPPEDCONTROLRECT, 0, (LPARAM)&dropped);
      out += ",\"droppedWidth\":" + num(sendTimed(c, CB_GETDROPPEDWIDTH, 0, 0)) +
             ",\"droppedHeight\":" + num(dropped.bottom - dropped.top) +
             ",\"count\":" + num(sendTimed(c, CB_GETCOUNT, 0, 0)) +
             ",\"selected\":" + num(sendTimed(c, CB_GETCURSEL, 0, 0));
    }
    if (_wcsicmp(cls.c_str(), L"Button") == 0) out += ",\"checked\":" + num(sendTimed(c, BM_GETCHECK, 0, 0));
    out += "}";
  }
  return out + "]";
}

BOOL CALLBACK collectChild(HWND c, LPARAM p) {
  ((std::vector<HWND>*)p)->push_back(c);
  return TRUE;
}

// Every window below parent, also inside nested dialogs, as id, class and text.
std::string descendantsJson(HWND parent) {
  std::vector<HWND> all;
  EnumChildWindows(parent, collectChild, (LPARAM)&all);
  std::string out = "[";
  for (HWND c : all) {
    if (out.size() > 1) out += ",";
    out += "{\"hwnd\":" + num((INT_PTR)c) + ",\"id\":" + num(GetDlgCtrlID(c)) + ",\"class\":" + quote(className(c)) +
           ",\"text\":" + quote(windowText(c)) + ",\"visible\":" + (IsWindowVisible(c) ? "true" : "false") + "}";
  }
  return out + "]";
}

BOOL CALLBACK collectTooltips(HWND w, LPARAM p) {
  if (className(w) == L"tooltips_class32") ((std::vector<HWND>*)p)->push_back(w);
  return TRUE;
}

// The texts of every tooltip tool on the desktop, also hidden ones (the
// notification area's icon tips). The tool records live in the owning
// process, so they are read through memory allocated there.
std::string tooltipsJson() {
  std::vector<HWND> tips;
  EnumWindows(collectTooltips, (LPARAM)&tips);
  std::string out = "[";
  constexpr size_t kTextChars = 1024;
  for (HWND tip : tips) {
    DWORD pid = 0;
    GetWindowThreadProcessId(tip, &pid);
    HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
    if (!process) continue;
    size_t bytes = sizeof(TTTOOLINFOW) + kTextChars * sizeof(wchar_t);
    auto* remote = (char*)VirtualAllocEx(process, nullptr, bytes, MEM_COMMIT, PAGE_READWRITE);
    if (remote) {
      for (WPARAM i = 0;; ++i) {
        TTTOOLINFOW info{};
        info.cbSize = sizeof(info);
        info.lpszText = (wchar_t*)(remote + sizeof(info));
        std::vector<wchar_t> text(kTextChars, L'\0');
        WriteProcessMemory(process, remote, &info, sizeof(info), nullptr);
        WriteProcessMemory(process, remote + sizeof(info), text.data(), kTextChars * sizeof(wchar_t), nullptr);
        if (!sendTimed(tip, TTM_ENUMTOOLSW, i, (LPARAM)remote)) break;
        ReadProcessMemory(process, remote + sizeof(info), text.data(), (kTextChars - 1) * sizeof(wchar_t), nullptr);
        if (out.size() > 1) out += ",";
        out += quote(text.data());
      }
      VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    }
    CloseHandle(process);
  }
  return out + "]";
}

std::string clipboardJson() {
  for (int i = 0; i < 50 && !OpenClipboard(nullptr); ++i) Sleep(20);
  std::string out = "null";
  if (HANDLE h = GetClipboardData(CF_UNICODETEXT)) {
    if (auto* p = (const wchar_t*)GlobalLock(h)) {
      out = quote(p);
      GlobalUnlock(h);
    }
  }
  CloseClipboard();
  return out;
}

bool setClipboard(const std::wstring& text) {
  for (int i = 0; i < 50 && !OpenClipboard(nullptr); ++i) Sleep(20);
  EmptyClipboard();
  HGLOBAL m = GlobalAlloc(GMEM_MOVEABLE, (text.size() + 1) * sizeof(wchar_t));
  memcpy(GlobalLock(m), text.c_str(), (text.size() + 1) * sizeof(wchar_t));
  GlobalUnlock(m);
  bool ok = SetClipboardData(CF_UNICODETEXT, m) != nullptr;
  CloseClipboard();
  return ok;
}

std::string registryJson(HKEY root, const std::wstring& key, const std::wstring& value) {
  wchar_t buf[2048] = {};
  DWORD bytes = sizeof(buf) - sizeof(wchar_t);
  if (RegGetValueW(root, key.c_str(), value.c_str(), RRF_RT_REG_SZ, nullptr, buf, &bytes) != ERROR_SUCCESS)
    return "null";
  return quote(buf);
}

bool setRegistry(const std::wstring& key, const std::wstring& value, const std::wstring& data) {
  return RegSetKeyValueW(HKEY_CURRENT_USER, key.c_str(), value.c_str(), REG_SZ, data.c_str(),
                         (DWORD)((data.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
}

struct Found {
  std::wstring cls;
  std::vector<HWND> windows;
};

BOOL CALLBACK collect(HWND w, LPARAM p) {
  auto* f = (Found*)p;
  if (IsWindowVisible(w) && className(w) == f->cls) f->windows.push_back(w);
  return TRUE;
}

// Visible top-level windows of a class (pop-up menus are "#32768").
std::string visibleJson(const std::wstring& cls) {
  Found f{cls, {}};
  EnumWindows(collect, (LPARAM)&f);
  std::string out = "[";
  for (HWND w : f.windows) {
    if (out.size() > 1) out += ",";
    out += windowJson(w);
  }
  return out + "]";
}

// The window as the screen shows it, as a 24-bit BMP file.
bool capture(HWND w, const std::wstring& path) {
  RECT r{};
  GetWindowRect(w, &r);
  int width = r.right - r.left, height = r.bottom - r.top;
  if (width <= 0 || height <= 0) return false;
  RedrawWindow(w, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  BITMAPINFO info{};
  info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, height, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
  void* bits = nullptr;
  HBITMAP bmp = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(memory, bmp);
  BitBlt(memory, 0, 0, width, height, screen, r.left, r.top, SRCCOPY);
  GdiFlush();
  DWORD stride = ((DWORD)width * 3 + 3) & ~3u;
  DWORD size = stride * height;
  BITMAPFILEHEADER file{0x4D42, (DWORD)(sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER) + size), 0, 0,
                        sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER)};
  bool ok = false;
  if (FILE* f = _wfopen(path.c_str(), L"wb")) {
    ok = fwrite(&file, sizeof file, 1, f) == 1 && fwrite(&info.bmiHeader, sizeof(BITMAPINFOHEADER), 1, f) == 1 &&
         fwrite(bits, 1, size, f) == size;
    fclose(f);
  }
  SelectObject(memory, old);
  DeleteObject(bmp);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return ok;
}

std::string okJson(bool ok) { return std::string("{\"ok\":") + (ok ? "true" : "false") + "}"; }

std::string run(const std::vector<std::string>& a) {
  const std::string& cmd = a[0];
  auto arg = [&](size_t i) { return i < a.size() ? a[i] : std::string(); };
  if (cmd == "find") {
    HWND w = FindWindowW(wide(arg(1)).c_str(), a.size() > 2 ? wide(arg(2)).c_str() : nullptr);
    return w ? windowJson(w) : "null";
  }
  if (cmd == "window") return IsWindow(handle(arg(1))) ? windowJson(handle(arg(1))) : "null";
  if (cmd == "controls") return controlsJson(handle(arg(1)));
  if (cmd == "visible") return visibleJson(wide(arg(1)));
  if (cmd == "tooltips") return tooltipsJson();
  if (cmd == "descendants") return descendantsJson(handle(arg(1)));
  if (cmd == "text") return quote(windowText(handle(arg(1))));
  if (cmd == "ping") {
    // Whether the window's thread answers within the given milliseconds.
    DWORD_PTR result = 0;
    return okJson(SendMessageTimeoutW(handle(arg(1)), WM_NULL, 0, 0, SMTO_ABORTIFHUNG, (UINT)integer(arg(2)), &result));
  }
  if (cmd == "click") {
    bool ok = false;
    sendTimed(handle(arg(1)), BM_CLICK, 0, 0, &ok);
    return okJson(ok);
  }
  if (cmd == "send" || cmd == "post") {
    HWND w = handle(arg(1));
    UINT msg = (UINT)integer(arg(2));
    WPARAM wp = (WPARAM)integer(arg(3));
    LPARAM lp = (LPARAM)integer(arg(4));
    if (cmd == "post") return okJson(PostMessageW(w, msg, wp, lp));
    bool ok = false;
    LRESULT r = sendTimed(w, msg, wp, lp, &ok);
    return "{\"ok\":" + std::string(ok ? "true" : "false") + ",\"result\":" + num(r) + "}";
  }
  if (cmd == "chars") {
    bool ok = true;
    for (wchar_t c : wide(arg(2))) {
      bool sent = false;
      sendTimed(handle(arg(1)), WM_CHAR, c, 1, &sent);
      ok = ok && sent;
    }
    return okJson(ok);
  }
  if (cmd == "settext") {
    std::wstring t = wide(arg(2));
    bool ok = false;
    sendTimed(handle(arg(1)), WM_SETTEXT, 0, (LPARAM)t.c_str(), &ok);
    return okJson(ok);
  }
  if (cmd == "selection") {
    LRESULT r = sendTimed(handle(arg(1)), EM_GETSEL, 0, 0);
    return "[" + num(LOWORD(r)) + "," + num(HIWORD(r)) + "]";
  }
  if (cmd == "clipboard") return clipboardJson();
  if (cmd == "setclipboard") return okJson(setClipboard(wide(arg(1))));
  if (cmd == "busyclipboard") {
    // Holds the clipboard while the window handles a command, then lets go.
    if (!OpenClipboard(nullptr)) return okJson(false);
    PostMessageW(handle(arg(1)), WM_COMMAND, (WPARAM)integer(arg(2)), 0);
    Sleep((DWORD)integer(arg(3)));
    CloseClipboard();
    return okJson(true);
  }
  if (cmd == "registry") return registryJson(HKEY_CURRENT_USER, wide(arg(1)), wide(arg(2)));
  if (cmd == "setregistry") return okJson(setRegistry(wide(arg(1)), wide(arg(2)), wide(arg(3))));
  if (cmd == "delregistry")
    return okJson(RegDeleteKeyValueW(HKEY_CURRENT_USER, wide(arg(1)).c_str(), wide(arg(2)).c_str()) == ERROR_SUCCESS);
  if (cmd == "capture") return okJson(capture(handle(arg(1)), wide(arg(2))));
  if (cmd == "foreground") return "{\"hwnd\":" + num((INT_PTR)GetForegroundWindow()) + "}";
  return "{\"error\":\"unknown command\"}";
}

}  // namespace

int wmain() {
  // Window positions in real pixels, also where the programs run above 96 DPI.
  SetProcessDpiAwarenessContext(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2);
  std::string line;
  while (std::getline(std::cin, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    std::vector<std::string> fields;
    size_t start = 0;
    for (;;) {
      size_t tab = line.find('\t', start);
      fields.push_back(line.substr(start, tab - start));
      if (tab == std::string::npos) break;
      start = tab + 1;
    }
    if (fields[0] == "quit") break;
    std::string out = run(fields) + "\n";
    fwrite(out.data(), 1, out.size(), stdout);
    fflush(stdout);
  }
  return 0;
}
