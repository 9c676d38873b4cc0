#include "web/pages.h"

#include <cstddef>

#include "core/flavour.h"
#include "http/response.h"
#include "web/page_policy.h"

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

struct Page {
  std::string bytes;
  http::HeaderList headers;  // computed once: the policy holds the page's hashes
};

struct PageSet {
  Page login;
  Page fileManager;
  Page sharedFolder;
};

Page pageOf(const unsigned char* data, std::size_t size) {
  std::string page(reinterpret_cast<const char*>(data), size);
  return {page, pageHeaders(contentSecurityPolicy(page))};
}

const PageSet& pages() {
  using namespace embedded;
  static const PageSet https{pageOf(httpsLogin, httpsLoginSize), pageOf(httpsFileManager, httpsFileManagerSize),
                             pageOf(httpsSharedFolder, httpsSharedFolderSize)};
  static const PageSet http{pageOf(httpLogin, httpLoginSize), pageOf(httpFileManager, httpFileManagerSize),
                            pageOf(httpSharedFolder, httpSharedFolderSize)};
  return core::flavour().pages == core::PageSet::Http ? http : https;
}

}  // namespace

const std::string& loginPage() { return pages().login.bytes; }
const std::string& fileManagerPage() { return pages().fileManager.bytes; }
const std::string& sharedFolderPage() { return pages().sharedFolder.bytes; }

void sendPage(http::Connection& c, const std::string& page) {
  const PageSet& set = pages();
  for (const Page* p : {&set.login, &set.fileManager, &set.sharedFolder}) {
    if (&p->bytes == &page) {
      http::sendResponse(c, 200, "OK", http::kTypeHtml, page, p->headers);
      return;
    }
  }
}

}  // namespace web
