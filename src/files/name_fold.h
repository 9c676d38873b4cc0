// Case folding for matching names the way people read them: "Foto" finds
// "FOTO.jpg", "ΣΠΊΤΙ" finds "σπίτι", "МОРЕ" finds "море". Simple one-to-one
// folding of the Latin, Greek and Cyrillic letters (and fullwidth Latin);
// other characters stay as they are.
#pragma once
#include <string>

namespace files {

char32_t foldCodePoint(char32_t c);
// The folded code points of UTF-8 text; bytes that are not well-formed
// UTF-8 become U+FFFD.
std::u32string foldText(const std::string& utf8);
// Whether name holds the already folded needle.
bool nameContainsFolded(const std::string& name, const std::u32string& needle);

}  // namespace files
