#include "files/tus_metadata.h"

namespace files {

namespace {

int base64Digit(char ch) {
  if (ch >= 'A' && ch <= 'Z') return ch - 'A';
  if (ch >= 'a' && ch <= 'z') return ch - 'a' + 26;
  if (ch >= '0' && ch <= '9') return ch - '0' + 52;
  if (ch == '+') return 62;
  if (ch == '/') return 63;
  return -1;
}

std::string trimBlanks(const std::string& text) {
  size_t first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

}  // namespace

bool decodeBase64(const std::string& text, std::string& bytes) {
  size_t end = text.size();
  if (end % 4 == 0 && end >= 2 && text[end - 1] == '=') end -= text[end - 2] == '=' ? 2 : 1;
  // One digit alone carries less than a byte.
  if (end % 4 == 1) return false;
  bytes.clear();
  bytes.reserve(end * 3 / 4);
  unsigned bits = 0;
  int count = 0;
  for (size_t i = 0; i < end; ++i) {
    int d = base64Digit(text[i]);
    if (d < 0) return false;
    bits = (bits << 6) | (unsigned)d;
    count += 6;
    if (count >= 8) {
      count -= 8;
      bytes.push_back((char)((bits >> count) & 0xFF));
    }
  }
  return true;
}

bool parseUploadMetadata(const std::string& header, TusMetadata& out) {
  out.clear();
  if (trimBlanks(header).empty()) return true;
  size_t start = 0;
  while (start <= header.size()) {
    size_t comma = header.find(',', start);
    std::string pair = trimBlanks(header.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
    start = comma == std::string::npos ? header.size() + 1 : comma + 1;
    if (pair.empty()) return false;
    size_t blank = pair.find_first_of(" \t");
    std::string key = pair.substr(0, blank), value;
    if (blank != std::string::npos && !decodeBase64(trimBlanks(pair.substr(blank)), value)) return false;
    std::string known;
    if (metadataValue(out, key, known)) return false;
    out.emplace_back(std::move(key), std::move(value));
  }
  return true;
}

bool metadataValue(const TusMetadata& metadata, const std::string& key, std::string& value) {
  for (const auto& m : metadata)
    if (m.first == key) {
      value = m.second;
      return true;
    }
  return false;
}

}  // namespace files
