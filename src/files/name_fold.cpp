#include "files/name_fold.h"

namespace files {

namespace {

bool within(char32_t c, char32_t first, char32_t last) { return c >= first && c <= last; }

// Blocks where capital and small letter alternate: the capital on the even
// code point (or on the odd one when capitalOdd).
struct PairBlock {
  char32_t first, last;
  bool capitalOdd;
};

constexpr PairBlock kPairBlocks[] = {
    {0x0100, 0x012F, false}, {0x0132, 0x0137, false}, {0x0139, 0x0148, true},  {0x014A, 0x0177, false},
    {0x0179, 0x017E, true},  {0x01CD, 0x01DC, true},  {0x01DE, 0x01EF, false}, {0x01F8, 0x021F, false},
    {0x0222, 0x0233, false}, {0x03D8, 0x03EF, false}, {0x0460, 0x0481, false}, {0x048A, 0x04BF, false},
    {0x04C1, 0x04CE, true},  {0x04D0, 0x052F, false}, {0x1E00, 0x1E95, false}, {0x1EA0, 0x1EFF, false},
};

// Single letters whose small form lies elsewhere.
struct Single {
  char32_t from, to;
};

constexpr Single kSingles[] = {
    {0x00B5, 0x03BC},  // micro sign: Greek mu
    {0x0130, 0x0069},  // I with dot above
    {0x0178, 0x00FF},  {0x017F, 0x0073},  // long s
    {0x0386, 0x03AC},  {0x038C, 0x03CC},  {0x03C2, 0x03C3},  // final sigma
    {0x04C0, 0x04CF},  {0x1E9E, 0x00DF},  {0x2126, 0x03C9},  {0x212A, 0x006B},  {0x212B, 0x00E5},
};

// Decodes one sequence at i and moves past it; U+FFFD for a malformed one
// (which is left one byte further on).
char32_t decodeAt(const std::string& text, size_t& i) {
  unsigned char lead = (unsigned char)text[i++];
  if (lead < 0x80) return lead;
  int more;
  char32_t c;
  if (within(lead, 0xC2, 0xDF)) {
    more = 1;
    c = lead & 0x1F;
  } else if (within(lead, 0xE0, 0xEF)) {
    more = 2;
    c = lead & 0x0F;
  } else if (within(lead, 0xF0, 0xF4)) {
    more = 3;
    c = lead & 0x07;
  } else {
    return 0xFFFD;
  }
  size_t at = i;
  for (int k = 0; k < more; ++k) {
    if (at >= text.size() || ((unsigned char)text[at] & 0xC0) != 0x80) return 0xFFFD;
    c = (c << 6) | ((unsigned char)text[at++] & 0x3F);
  }
  // Overlong forms, surrogates and code points past U+10FFFF.
  if ((more == 2 && c < 0x800) || (more == 3 && (c < 0x10000 || c > 0x10FFFF)) || within(c, 0xD800, 0xDFFF))
    return 0xFFFD;
  i = at;
  return c;
}

}  // namespace

char32_t foldCodePoint(char32_t c) {
  if (c < 0x80) return within(c, 'A', 'Z') ? c + 32 : c;
  if (within(c, 0x00C0, 0x00DE) && c != 0x00D7) return c + 32;
  if (within(c, 0x0388, 0x038A)) return c + 37;
  if (within(c, 0x038E, 0x038F)) return c + 63;
  if (within(c, 0x0391, 0x03AB) && c != 0x03A2) return c + 32;
  if (within(c, 0x0400, 0x040F)) return c + 80;
  if (within(c, 0x0410, 0x042F)) return c + 32;
  if (within(c, 0xFF21, 0xFF3A)) return c + 32;
  for (const PairBlock& b : kPairBlocks)
    if (within(c, b.first, b.last)) return ((c & 1) != 0) == b.capitalOdd ? c + 1 : c;
  for (const Single& s : kSingles)
    if (s.from == c) return s.to;
  return c;
}

std::u32string foldText(const std::string& utf8) {
  std::u32string out;
  out.reserve(utf8.size());
  for (size_t i = 0; i < utf8.size();) out += foldCodePoint(decodeAt(utf8, i));
  return out;
}

bool nameContainsFolded(const std::string& name, const std::u32string& needle) {
  return foldText(name).find(needle) != std::u32string::npos;
}

}  // namespace files
