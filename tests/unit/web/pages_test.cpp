// Each program serves its own three pages, embedded whole: the same bytes as
// the files, no terminating zero, nothing cut at the end. The file pages offer
// their view for exactly the types the server sends inline.
#include <gtest/gtest.h>

#include <map>
#include <regex>
#include <string>

#include "core/flavour.h"
#include "files/inline_types.h"
#include "web/pages.h"

namespace {

bool has(const std::string& page, const std::string& text) { return page.find(text) != std::string::npos; }

void expectWholeDocument(const std::string& page) {
  EXPECT_EQ(page.rfind("<!doctype html>\n", 0), 0u);
  ASSERT_GE(page.size(), 8u);
  EXPECT_EQ(page.substr(page.size() - 8), "</html>\n");
  EXPECT_EQ(page.find('\0'), std::string::npos);
}

// The page script's table of viewable types: extension -> element that shows it.
std::map<std::string, std::string> viewKinds(const std::string& page) {
  size_t begin = page.find("const VIEW_KINDS = {");
  size_t end = page.find("};", begin);
  if (begin == std::string::npos || end == std::string::npos) return {};
  std::string table = page.substr(begin, end - begin);
  static const std::regex entry(R"re(\b(\w+): "(\w+)")re");
  std::map<std::string, std::string> kinds;
  for (std::sregex_iterator it(table.begin(), table.end(), entry), last; it != last; ++it) kinds[(*it)[1]] = (*it)[2];
  return kinds;
}

// Pictures need an img, video and sound their own elements; PDF and text a frame.
std::string elementFor(const std::string& contentType) {
  std::string major = contentType.substr(0, contentType.find('/'));
  if (major == "image") return "img";
  return major == "video" || major == "audio" ? major : "iframe";
}

struct FlavourScope {
  explicit FlavourScope(const core::Flavour& f) { core::setFlavour(f); }
  ~FlavourScope() { core::setFlavour(core::kHttpsFlavour); }
};

}  // namespace

TEST(Pages, HttpsProgramServesItsPages) {
  FlavourScope scope(core::kHttpsFlavour);
  for (const std::string* p : {&web::loginPage(), &web::fileManagerPage(), &web::sharedFolderPage()})
    expectWholeDocument(*p);
  EXPECT_TRUE(has(web::loginPage(), "<title>HTTPS Vantrel PRO - Login</title>"));
  EXPECT_TRUE(has(web::fileManagerPage(), "id=\"xferModal\""));
  EXPECT_FALSE(has(web::fileManagerPage(), "Clear selection"));
  EXPECT_TRUE(has(web::sharedFolderPage(), "id=\"chkAll\""));
  EXPECT_TRUE(has(web::sharedFolderPage(), "id=\"dropzone\""));
}

// A program may hand over a copy of its record (as vantrel-https does, to add
// its certificate step): the pages follow the record's contents.
TEST(Pages, HttpProgramServesItsPagesFromACopiedRecord) {
  const core::Flavour copy = core::kHttpFlavour;
  FlavourScope scope(copy);
  for (const std::string* p : {&web::loginPage(), &web::fileManagerPage(), &web::sharedFolderPage()})
    expectWholeDocument(*p);
  EXPECT_TRUE(has(web::loginPage(), "<title>HTTP Vantrel PRO - Login</title>"));
  EXPECT_FALSE(has(web::fileManagerPage(), "xferModal"));
  EXPECT_TRUE(has(web::fileManagerPage(), "title=\"Clear selection\""));
  EXPECT_FALSE(has(web::sharedFolderPage(), "chkAll"));
  EXPECT_FALSE(has(web::sharedFolderPage(), "dropzone"));
  EXPECT_TRUE(has(web::sharedFolderPage(), "HTTPS Vantrel PRO - Shared Folder"));
}

TEST(Pages, FilePagesViewWhatTheServerSendsInline) {
  std::map<std::string, std::string> inlineKinds;
  for (const files::InlineType& t : files::inlineTypes()) inlineKinds[t.extension] = elementFor(t.contentType);
  for (const core::Flavour* f : {&core::kHttpsFlavour, &core::kHttpFlavour}) {
    FlavourScope scope(*f);
    EXPECT_EQ(viewKinds(web::fileManagerPage()), inlineKinds);
    EXPECT_EQ(viewKinds(web::sharedFolderPage()), inlineKinds);
  }
}
