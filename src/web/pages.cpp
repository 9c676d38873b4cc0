#include "web/pages.h"

#include <cstddef>

#include "core/flavour.h"

// Defined by the sources that the build generates from the .html files.
namespace web::embedded {
extern const unsigned char httpsLogin[];
extern const std::size_t httpsLoginSize;
extern const unsigned char httpsFileManager[];
extern const std::size_t httpsFileManagerSize;
extern const unsigned char httpsSharedFolder[];
extern const std::size_t httpsSharedFolderSize;
extern const unsigned char httpLogin[];
extern const std::size_t httpLoginSize;
extern const unsigned char httpFileManager[];
extern const std::size_t httpFileManagerSize;
extern const unsigned char httpSharedFolder[];
extern const std::size_t httpSharedFolderSize;
}  // namespace web::embedded

namespace web {

namespace {

struct PageSet {
  std::string login;
  std::string fileManager;
  std::string sharedFolder;
};

std::string bytes(const unsigned char* data, std::size_t size) {
  return std::string(reinterpret_cast<const char*>(data), size);
}

const PageSet& pages() {
  using namespace embedded;
  static const PageSet https{bytes(httpsLogin, httpsLoginSize), bytes(httpsFileManager, httpsFileManagerSize),
                             bytes(httpsSharedFolder, httpsSharedFolderSize)};
  static const PageSet http{bytes(httpLogin, httpLoginSize), bytes(httpFileManager, httpFileManagerSize),
                            bytes(httpSharedFolder, httpSharedFolderSize)};
  return core::flavour().pages == core::PageSet::Http ? http : https;
}

}  // namespace

const std::string& loginPage() { return pages().login; }
const std::string& fileManagerPage() { return pages().fileManager; }
const std::string& sharedFolderPage() { return pages().sharedFolder; }

}  // namespace web
