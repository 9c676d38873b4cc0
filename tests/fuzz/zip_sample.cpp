// Writes a stored ZIP archive of the named files with the selection
// download's layout, for a reader other than ours to check:
//   zip_sample OUT.zip NAME-IN-ARCHIVE FILE [NAME FILE ...]
// Prints the length the layout computed.
#include <cstdio>
#include <fstream>
#include <iterator>
#include <vector>

#include "files/crc32.h"
#include "files/zip_layout.h"

int main(int argc, char** argv) {
  if (argc < 2 || argc % 2 != 0) {
    std::fprintf(stderr, "usage: zip_sample OUT.zip [NAME FILE]...\n");
    return 2;
  }
  std::vector<files::ZipEntry> entries;
  std::vector<std::string> contents;
  for (int i = 2; i < argc; i += 2) {
    std::ifstream f(argv[i + 1], std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
    files::ZipEntry e;
    e.name = argv[i];
    e.crc = files::crc32(bytes.data(), bytes.size());
    e.size = bytes.size();
    e.dosDate = files::dosDate(2024, 2, 29);
    e.dosTime = files::dosTime(23, 59, 58);
    entries.push_back(e);
    contents.push_back(std::move(bytes));
  }
  files::ZipLayout z = files::layoutZip(entries);
  std::ofstream out(argv[1], std::ios::binary);
  for (size_t i = 0; i < entries.size(); ++i) out << files::localHeader(entries[i]) << contents[i];
  for (const files::ZipEntry& e : entries) out << files::centralHeader(e);
  out << files::endRecord(entries.size(), z.centralSize, z.centralOffset);
  std::printf("%llu\n", (unsigned long long)z.total);
  return out ? 0 : 1;
}
