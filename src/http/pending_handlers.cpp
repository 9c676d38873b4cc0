// Endpoints whose subsystems are not built yet answer 404 in their place of
// the route table. Each definition leaves this file when its endpoint lands.
#include "http/router.h"
#include "web/pages.h"

namespace web {
const std::string& loginPage() {
  static const std::string page =
      "<!doctype html><html><head><meta charset='utf-8'/><title>Vantrel PRO</title></head>"
      "<body><p>Login page</p></body></html>";
  return page;
}
const std::string& fileManagerPage() {
  static const std::string page =
      "<!doctype html><html><head><meta charset='utf-8'/><title>Vantrel PRO</title></head>"
      "<body><p>File manager page</p></body></html>";
  return page;
}
const std::string& sharedFolderPage() {
  static const std::string page =
      "<!doctype html><html><head><meta charset='utf-8'/><title>Vantrel PRO</title></head>"
      "<body><p>Shared folder page</p></body></html>";
  return page;
}
}  // namespace web
