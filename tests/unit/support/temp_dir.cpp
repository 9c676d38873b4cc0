#include "support/temp_dir.h"

#include <atomic>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

namespace test {

namespace fs = std::filesystem;

TempDir::TempDir() {
  static std::atomic<int> counter{0};
  std::random_device rd;
  fs::path p = fs::temp_directory_path() /
               ("vantrel-test-" + std::to_string(rd()) + "-" + std::to_string(counter.fetch_add(1)));
  fs::create_directories(p);
  path = p.string();
}

TempDir::~TempDir() {
  std::error_code ec;
  fs::remove_all(path, ec);
}

void writeFile(const std::string& path, const std::string& bytes) {
  std::ofstream f(fs::u8path(path), std::ios::binary | std::ios::trunc);
  f << bytes;
}

std::string readFile(const std::string& path) {
  std::ifstream f(fs::u8path(path), std::ios::binary);
  std::stringstream s;
  s << f.rdbuf();
  return s.str();
}

}  // namespace test
