// A fresh folder for one test, removed with everything in it afterwards.
#pragma once
#include <string>

namespace test {

struct TempDir {
  std::string path;
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
};

// Writes a file with the given bytes (creating parents is the caller's job).
void writeFile(const std::string& path, const std::string& bytes);
std::string readFile(const std::string& path);

}  // namespace test
