// The JSON member readers and the string writer. The writer must always
// give a valid JSON string that reads back as what was written (for valid
// UTF-8); the readers must find top-level members whatever else the object
// holds and however each character is escaped, and none in an object cut
// short or followed by more.
#include <cstring>
#include <vector>

#include "fuzz_support.h"
#include "http/request.h"
#include "http/response.h"

namespace {

// Code points of valid UTF-8.
std::u32string codePoints(const std::string& s) {
  std::u32string out;
  for (size_t i = 0; i < s.size();) {
    unsigned char c = (unsigned char)s[i];
    size_t len = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
    char32_t cp = len == 1 ? c : len == 2 ? c & 0x1F : len == 3 ? c & 0x0F : c & 0x07;
    for (size_t k = 1; k < len; ++k) cp = cp << 6 | ((unsigned char)s[i + k] & 0x3F);
    out.push_back(cp);
    i += len;
  }
  return out;
}

void appendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out += (char)cp;
  } else if (cp < 0x800) {
    out += (char)(0xC0 | cp >> 6);
    out += (char)(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += (char)(0xE0 | cp >> 12);
    out += (char)(0x80 | (cp >> 6 & 0x3F));
    out += (char)(0x80 | (cp & 0x3F));
  } else {
    out += (char)(0xF0 | cp >> 18);
    out += (char)(0x80 | (cp >> 12 & 0x3F));
    out += (char)(0x80 | (cp >> 6 & 0x3F));
    out += (char)(0x80 | (cp & 0x3F));
  }
}

void appendU(std::string& out, unsigned unit, bool upper) {
  static const char kLower[] = "0123456789abcdef";
  static const char kUpper[] = "0123456789ABCDEF";
  const char* d = upper ? kUpper : kLower;
  out += "\\u";
  for (int shift = 12; shift >= 0; shift -= 4) out += d[unit >> shift & 15];
}

// The text between the quotes of a JSON string for s (valid UTF-8), each
// character written in one of the forms JSON allows, as the choice bytes say.
std::string encodeAnyForm(const std::string& s, const std::string& choices) {
  std::string out;
  size_t n = 0;
  for (char32_t cp : codePoints(s)) {
    unsigned choice = choices.empty() ? 0 : (unsigned char)choices[n++ % choices.size()];
    const char* shortForm = cp == '"' ? "\\\"" : cp == '\\' ? "\\\\" : cp == '\b' ? "\\b" : cp == '\f' ? "\\f"
                            : cp == '\n' ? "\\n" : cp == '\r' ? "\\r" : cp == '\t' ? "\\t" : cp == '/' ? "\\/" : nullptr;
    bool mustEscape = cp < 0x20 || cp == '"' || cp == '\\';
    if (shortForm && (choice & 1)) {
      out += shortForm;
    } else if (mustEscape || (choice & 2)) {
      if (cp >= 0x10000) {
        appendU(out, 0xD800 + ((cp - 0x10000) >> 10), choice & 4);
        appendU(out, 0xDC00 + ((cp - 0x10000) & 0x3FF), choice & 4);
      } else {
        appendU(out, cp, choice & 4);
      }
    } else {
      appendUtf8(out, cp);
    }
  }
  return out;
}

int hexDigit(char ch) {
  if (ch >= '0' && ch <= '9') return ch - '0';
  if (ch >= 'a' && ch <= 'f') return ch - 'a' + 10;
  if (ch >= 'A' && ch <= 'F') return ch - 'A' + 10;
  return -1;
}

bool readU(const std::string& t, size_t& i, unsigned& unit) {
  if (t.compare(i, 2, "\\u") != 0 || i + 6 > t.size()) return false;
  unit = 0;
  for (size_t k = i + 2; k < i + 6; ++k) {
    int d = hexDigit(t[k]);
    if (d < 0) return false;
    unit = unit << 4 | (unsigned)d;
  }
  i += 6;
  return true;
}

// Strict reading of the text between a JSON string's quotes (RFC 8259):
// false when it is not valid JSON string content.
bool decodeStrict(const std::string& t, std::string& out) {
  if (!fuzz::isValidUtf8(t)) return false;
  out.clear();
  for (size_t i = 0; i < t.size();) {
    unsigned char c = (unsigned char)t[i];
    if (c < 0x20 || c == '"') return false;
    if (c != '\\') {
      out += (char)c;
      ++i;
      continue;
    }
    if (i + 1 >= t.size()) return false;
    char e = t[i + 1];
    const char* simple = "\"\\/bfnrt";
    const char* value = "\"\\/\b\f\n\r\t";
    if (const char* at = e ? std::strchr(simple, e) : nullptr) {
      out += value[at - simple];
      i += 2;
      continue;
    }
    unsigned unit;
    if (!readU(t, i, unit)) return false;
    char32_t cp = unit;
    if (unit >= 0xD800 && unit <= 0xDBFF) {
      unsigned low;
      if (!readU(t, i, low) || low < 0xDC00 || low > 0xDFFF) return false;
      cp = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
    } else if (unit >= 0xDC00 && unit <= 0xDFFF) {
      return false;
    }
    appendUtf8(out, cp);
  }
  return true;
}

const char* const kKeys[] = {"path", "name", "names", "pin"};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::Input in{data, size};
  uint8_t shape = fuzz::takeByte(in);
  std::string key = kKeys[shape % 4];
  std::string value = fuzz::takeString(in, 512);
  std::string decoy = fuzz::takeString(in, 64);
  std::string choices = fuzz::takeString(in, 32);
  std::string raw = fuzz::takeRest(in);

  // Whatever the bytes, the readers neither fail nor run away.
  std::vector<std::string> list;
  http::jsonStringField(raw, key);
  http::jsonStringArray(raw, key, list);

  // The writer: valid JSON for any bytes, and the same text back for valid UTF-8.
  std::string escaped = http::jsonEscape(value);
  std::string back;
  FUZZ_CHECK(decodeStrict(escaped, back));
  if (!fuzz::isValidUtf8(value)) return 0;
  FUZZ_CHECK(back == value);

  // The readers: the member at the top level, after a decoy member whose
  // string or nested object mentions the same key.
  std::string decoyText = fuzz::isValidUtf8(decoy) ? decoy : std::string("x");
  std::string lure = "\"" + key + "\":\"" + encodeAnyForm(decoyText, choices) + "\"";
  std::string before = shape & 4 ? "\"tag\":{" + lure + "}," : shape & 8 ? "\"tag\":\"" + encodeAnyForm(lure, {}) + "\"," : "";
  std::string spacing = shape & 16 ? " \r\n\t" : "";
  std::string object = "{" + spacing + before + "\"" + key + "\"" + spacing + ":" + spacing + "\"" +
                       encodeAnyForm(value, choices) + "\"" + spacing + "}";
  FUZZ_CHECK(http::jsonStringField(object, key) == value);

  std::string array = "{" + before + "\"" + key + "\":[" + spacing + "\"" + encodeAnyForm(value, choices) + "\"," +
                      spacing + "\"" + encodeAnyForm(decoyText, choices) + "\"" + spacing + "]}";
  FUZZ_CHECK(http::jsonStringArray(array, key, list));
  FUZZ_CHECK(list.size() == 2 && list[0] == value && list[1] == decoyText);

  // Cut short anywhere, or with more behind it, neither has any members.
  for (const std::string* text : {&object, &array}) {
    size_t size = text->size();
    for (size_t cut : {size_t(1), size / 2, size - 2, size - 1, (shape * value.size() + raw.size()) % size}) {
      FUZZ_CHECK(http::jsonStringField(text->substr(0, cut), key).empty());
      FUZZ_CHECK(!http::jsonStringArray(text->substr(0, cut), key, list));
    }
    FUZZ_CHECK(http::jsonStringField(*text + ",", key).empty());
    FUZZ_CHECK(!http::jsonStringArray(*text + "{}", key, list));
  }
  return 0;
}
