#include "files/names.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using files::NameRules;

TEST(DeviceNames, AnyCaseWithExtensionDotsOrBlanks) {
  for (const char* device : {"CON", "con", "PRN", "AUX", "NUL", "nul.txt", "com1.log", "COM0", "COM9", "lpt1",
                             "LPT9", "LpT0.tar.gz", "CONIN$", "conout$.x", "CON.", "CON. .", "NUL ", "AUX .txt",
                             "COM\xC2\xB9", "lpt\xC2\xB2.txt", "COM\xC2\xB3"})
    EXPECT_TRUE(files::isDeviceName(device)) << device;
  for (const char* plain : {"", "CONX", "CON1", "COM", "COM10", "LPT", "xNUL", " CON", "CONIN", "NUL_", "console.log",
                            "COM\xC2\xB4", "COM\xC2\xB9\xC2\xB9", "nulls.txt", "_CON"})
    EXPECT_FALSE(files::isDeviceName(plain)) << plain;
}

TEST(PlainNames, PathSyntaxAndDotNamesUnderBothRules) {
  for (NameRules rules : {NameRules::Posix, NameRules::Windows}) {
    for (const char* ok : {"a", "it's.txt", "Bericht M\xC3\xA4rz.pdf", "a.b", ".hidden", "a\"b", "a b",
                           "report..final.txt", "..a"})
      EXPECT_TRUE(files::isPlainName(ok, rules)) << ok;
    for (const char* bad : {"", ".", "..", "a/b", "a\\b", "/", "a/../b", "..\\x"})
      EXPECT_FALSE(files::isPlainName(bad, rules)) << bad;
    EXPECT_FALSE(files::isPlainName(std::string("a\0b", 3), rules));
  }
  // Names that Windows folds to nothing or to another name, devices and
  // streams are real names on Linux.
  for (const char* name : {". ", " .", ".  ", " ", ". .", "...", "x.", "a..", "a ", "CON", "nul.txt", "COM1", "a:b",
                           "f.txt::$DATA"}) {
    EXPECT_TRUE(files::isPlainName(name, NameRules::Posix)) << name;
    EXPECT_FALSE(files::isPlainName(name, NameRules::Windows)) << name;
  }
}

TEST(ClientPathRules, DevicesAndColonsAnywhereUnderWindowsRules) {
  for (NameRules rules : {NameRules::Posix, NameRules::Windows}) {
    EXPECT_TRUE(files::isAllowedClientPath("docs/2026/a.txt", rules));
    EXPECT_TRUE(files::isAllowedClientPath("./docs/", rules));
    EXPECT_TRUE(files::isAllowedClientPath("a..b/report..final.txt", rules));
    for (const char* bad : {"..", "../x", "docs/../x", "docs/.."}) EXPECT_FALSE(files::isAllowedClientPath(bad, rules));
    EXPECT_FALSE(files::isAllowedClientPath(std::string("a\0b", 3), rules));
  }
  for (const char* path : {"CON", "docs/NUL", "com1.txt/x", "a/LPT\xC2\xB9/b", "C:/Windows", "f.txt::$DATA",
                           "docs/f.txt:hidden", "docs/aux /x", "x/...", "a/.. /b", ". ./x"}) {
    EXPECT_TRUE(files::isAllowedClientPath(path, NameRules::Posix)) << path;
    EXPECT_FALSE(files::isAllowedClientPath(path, NameRules::Windows)) << path;
  }
  EXPECT_TRUE(files::isAllowedClientPath("docs/CONSOLE/nul_/x", NameRules::Windows));
}

TEST(NameLength, BytesOnLinuxUtf16UnitsOnWindows) {
  std::string umlauts, faces;
  for (int i = 0; i < 128; ++i) umlauts += "\xC3\xA4";  // 256 bytes, 128 units
  for (int i = 0; i < 127; ++i) faces += "\xF0\x9F\x98\x80";  // 508 bytes, 254 units
  for (NameRules rules : {NameRules::Posix, NameRules::Windows}) {
    EXPECT_FALSE(files::isNameTooLong(std::string(255, 'x'), rules));
    EXPECT_TRUE(files::isNameTooLong(std::string(256, 'x'), rules));
  }
  EXPECT_TRUE(files::isNameTooLong(umlauts, NameRules::Posix));
  EXPECT_FALSE(files::isNameTooLong(umlauts, NameRules::Windows));
  EXPECT_FALSE(files::isNameTooLong(faces + "x", NameRules::Windows));
  EXPECT_TRUE(files::isNameTooLong(faces + "xx", NameRules::Windows));
}

TEST(SanitizeUploadName, ReservedCharactersDotNamesAndDevices) {
  for (NameRules rules : {NameRules::Posix, NameRules::Windows}) {
    EXPECT_EQ(files::sanitizeUploadName("a:b?.txt", rules), "a_b_.txt");
    EXPECT_EQ(files::sanitizeUploadName("C:\\Users\\x\\y.txt", rules), "C__Users_x_y.txt");
    EXPECT_EQ(files::sanitizeUploadName("../../etc/passwd", rules), ".._.._etc_passwd");
    EXPECT_EQ(files::sanitizeUploadName("<a>|*\"b", rules), "_a____b");
    EXPECT_EQ(files::sanitizeUploadName(std::string("a\0b", 3), rules), "a_b");
    EXPECT_EQ(files::sanitizeUploadName("B\xc3\xa4r \xe2\x82\xac.txt", rules), "B\xc3\xa4r \xe2\x82\xac.txt");
    EXPECT_EQ(files::sanitizeUploadName("bad\xff.txt", rules), "bad\xef\xbf\xbd.txt");
    EXPECT_EQ(files::sanitizeUploadName("", rules), "file.bin");
    EXPECT_EQ(files::sanitizeUploadName(".", rules), "_");
    EXPECT_EQ(files::sanitizeUploadName("..", rules), "__");
  }
  EXPECT_EQ(files::sanitizeUploadName(". .", NameRules::Windows), "___");
  EXPECT_EQ(files::sanitizeUploadName(". .", NameRules::Posix), ". .");
  EXPECT_EQ(files::sanitizeUploadName("COM1", NameRules::Windows), "_COM1");
  EXPECT_EQ(files::sanitizeUploadName("nul.txt", NameRules::Windows), "_nul.txt");
  EXPECT_EQ(files::sanitizeUploadName("con.txt:x", NameRules::Windows), "_con.txt_x");
  EXPECT_EQ(files::sanitizeUploadName("COM1", NameRules::Posix), "COM1");
}

}  // namespace
