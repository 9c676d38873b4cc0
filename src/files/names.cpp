#include "files/names.h"

#include <cstring>

#include "core/ascii_case.h"
#include "sys/fs.h"
#include "sys/text.h"

namespace files {

namespace {

bool isPortDigit(const std::string& digit) {
  if (digit.size() == 1) return digit[0] >= '0' && digit[0] <= '9';
  // Windows also takes the superscripts one, two and three as port numbers.
  return digit == "\xC2\xB9" || digit == "\xC2\xB2" || digit == "\xC2\xB3";
}

constexpr char kPartialPrefix[] = ".vantrel-partial-";

}  // namespace

std::string partialFileName(const std::string& id) { return kPartialPrefix + id; }

bool isReservedName(const std::string& name) {
  size_t n = sizeof kPartialPrefix - 1;
  return name.size() >= n && core::upperAscii(name.substr(0, n)) == core::upperAscii(kPartialPrefix);
}

NameRules hostNameRules() { return sys::kWindowsFileNames ? NameRules::Windows : NameRules::Posix; }

bool isDeviceName(const std::string& component) {
  // The device is named by what stands before the first dot, trailing
  // blanks ignored: "nul.txt", "CON .log" and "com1." all open a device.
  std::string stem = core::upperAscii(component.substr(0, component.find('.')));
  while (!stem.empty() && stem.back() == ' ') stem.pop_back();
  for (const char* device : {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"})
    if (stem == device) return true;
  std::string port = stem.substr(0, 3);
  return stem.size() > 3 && (port == "COM" || port == "LPT") && isPortDigit(stem.substr(3));
}

bool isDotName(const std::string& name, NameRules rules) {
  if (name == "." || name == "..") return true;
  // Windows drops trailing dots and blanks, so these fold to nothing.
  return rules == NameRules::Windows && !name.empty() && name.find_first_not_of(". ") == std::string::npos;
}

bool isAllowedSegment(const std::string& segment, NameRules rules) {
  if (segment.find('\0') != std::string::npos || isReservedName(segment)) return false;
  // ".." steps out of the folder only as a whole segment ("a..b" is a name).
  // Windows folds trailing dots and blanks, so there any segment of dots and
  // blanks alone but "." could become "..".
  if (segment == ".." || (rules == NameRules::Windows && segment != "." && isDotName(segment, rules))) return false;
  if (rules == NameRules::Posix) return true;
  // A colon names a drive or an alternate data stream, never a plain entry.
  return segment.find(':') == std::string::npos && !isDeviceName(segment);
}

bool isPlainName(const std::string& name, NameRules rules) {
  if (name.empty() || name.find_first_of("/\\") != std::string::npos || isDotName(name, rules) ||
      !isAllowedSegment(name, rules))
    return false;
  // Windows would drop a trailing dot or blank and reach another entry.
  return rules == NameRules::Posix || (name.back() != '.' && name.back() != ' ');
}

bool isNewEntryName(const std::string& name, NameRules rules) {
  if (!isPlainName(name, rules)) return false;
  for (unsigned char ch : name)
    if (ch < 0x20 || ch == 0x7F) return false;
  return rules == NameRules::Posix || name.find_first_of("<>\"|?*") == std::string::npos;
}

bool isNameTooLong(const std::string& name, NameRules rules) {
  constexpr size_t kMaxNameLength = 255;
  if (rules == NameRules::Posix) return name.size() > kMaxNameLength;
  // One unit for each character (each byte that does not continue one), two
  // for those past U+FFFF (four-byte sequences).
  size_t units = 0;
  for (unsigned char ch : name) units += ((ch & 0xC0) != 0x80) + (ch >= 0xF0);
  return units > kMaxNameLength;
}

bool isAllowedClientPath(const std::string& relative, NameRules rules) {
  size_t start = 0;
  for (;;) {
    size_t slash = relative.find('/', start);
    if (!isAllowedSegment(relative.substr(start, slash == std::string::npos ? std::string::npos : slash - start),
                          rules))
      return false;
    if (slash == std::string::npos) return true;
    start = slash + 1;
  }
}

std::string sanitizeUploadName(const std::string& name, NameRules rules) {
  // Through the wide form and back, so malformed UTF-8 is stored the way
  // Windows stores it (U+FFFD) on every platform.
  std::string out = sys::toUtf8(sys::toWide(name));
  static const char kReplaced[] = "\"*/:<>?\\|";
  for (char& ch : out)
    if (ch == '\0' || std::memchr(kReplaced, ch, sizeof kReplaced - 1)) ch = '_';
  if (out.empty()) return "file.bin";
  if (isDotName(out, rules)) return std::string(out.size(), '_');
  // A reserved name would reach another upload's data in progress.
  if (isReservedName(out) || (rules == NameRules::Windows && isDeviceName(out))) return "_" + out;
  return out;
}

}  // namespace files
