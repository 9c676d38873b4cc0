// Previews: the bounds decided before decoding, the cache on disk, the
// turns of the makers, and the routes' answers through the in-process
// server with pictures made here.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>

#include "app/routes.h"
#include "auth/sessions.h"
#include "core/flavour.h"
#include "files/crc32.h"
#include "files/thumb_cache.h"
#include "files/thumb_failures.h"
#include "files/thumb_queue.h"
#include "files/web_root.h"
#include "http/server.h"
#include "support/net_helpers.h"
#include "support/temp_dir.h"
#include "sys/file_times.h"
#include "sys/folders.h"
#include "sys/fs.h"
#include "sys/thumbnail.h"

namespace {

void putBig(std::string& out, uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out += (char)(v >> shift);
}

void pngChunk(std::string& out, const char* type, const std::string& data) {
  putBig(out, (uint32_t)data.size());
  std::string body = std::string(type, 4) + data;
  out += body;
  putBig(out, files::crc32(body.data(), body.size()));
}

// An RGB PNG of declared size width x height whose pixel data is `rows`
// rows of grey, in stored (uncompressed) deflate blocks.
std::string makePng(uint32_t width, uint32_t height, uint32_t rows) {
  std::string raw;
  for (uint32_t y = 0; y < rows; ++y) {
    raw += '\0';
    raw.append((size_t)width * 3, (char)0x80);
  }
  std::string z = "\x78\x01";
  uint32_t a = 1, b = 0;
  for (unsigned char ch : raw) {
    a = (a + ch) % 65521;
    b = (b + a) % 65521;
  }
  for (size_t at = 0; at < raw.size() || at == 0; at += 65535) {
    size_t n = raw.size() - at < 65535 ? raw.size() - at : 65535;
    z += (char)(at + n >= raw.size() ? 1 : 0);
    z += (char)(n & 0xff);
    z += (char)(n >> 8);
    z += (char)(~n & 0xff);
    z += (char)((~n >> 8) & 0xff);
    z.append(raw, at, n);
    if (raw.empty()) break;
  }
  putBig(z, (b << 16) | a);
  std::string ihdr;
  putBig(ihdr, width);
  putBig(ihdr, height);
  ihdr += std::string("\x08\x02\x00\x00\x00", 5);
  std::string png = "\x89PNG\r\n\x1a\n";
  pngChunk(png, "IHDR", ihdr);
  pngChunk(png, "IDAT", z);
  pngChunk(png, "IEND", "");
  return png;
}

// Width and height from a JPEG's frame header.
bool jpegSize(const std::string& j, int& width, int& height) {
  size_t i = 2;
  while (i + 9 < j.size() && (unsigned char)j[i] == 0xFF) {
    unsigned char marker = (unsigned char)j[i + 1];
    size_t length = ((unsigned char)j[i + 2] << 8) | (unsigned char)j[i + 3];
    if (marker >= 0xC0 && marker <= 0xC2) {
      height = ((unsigned char)j[i + 5] << 8) | (unsigned char)j[i + 6];
      width = ((unsigned char)j[i + 7] << 8) | (unsigned char)j[i + 8];
      return true;
    }
    i += 2 + length;
  }
  return false;
}

const std::string kJpeg = std::string("\xFF\xD8\xFF\xE0", 4) + std::string(1000, 'x') + "\xFF\xD9";

TEST(PreviewBounds, HugeDeclarationsAreRefusedAndPhotosPass) {
  EXPECT_FALSE(sys::previewFits({50000, 50000, 3, 1}, 160));
  EXPECT_FALSE(sys::previewFits({50000, 50000, 3, 8}, 160));      // too many pixels, however shrunk
  EXPECT_FALSE(sys::previewFits({UINT64_MAX, UINT64_MAX, 3, 1}, 160));
  EXPECT_FALSE(sys::previewFits({0, 100, 3, 1}, 160));
  EXPECT_TRUE(sys::previewFits({4000, 3000, 3, 1}, 640));         // a 12-megapixel photo
  EXPECT_TRUE(sys::previewFits({10000, 10000, 3, 8}, 640));       // 100 MP JPEG, shrunk while decoding
  EXPECT_FALSE(sys::previewFits({10000, 10000, 3, 1}, 640));      // the same decoded whole: 300 MB
  EXPECT_FALSE(sys::previewFits({9000, 9000, 8, 1}, 160));        // 16-bit RGBA of 81 MP
  EXPECT_EQ(sys::decodeBytes({4000, 3000, 3, 8}, 640), 1000u * 750 * 3);  // shrinks by 4, not 8
}

TEST(PreviewOrientation, PixelsLandWhereTheTagSays) {
  // Rows "A B" and "C D" of a 2 x 2 picture; the tall 1 x 2 one trades sides.
  auto shown = [](const std::string& px, uint32_t w, uint32_t h, int tag) {
    std::string in, out;
    for (char c : px) in.append(3, c);
    uint32_t ow = 0, oh = 0;
    sys::orientPixels(in, w, h, tag, out, ow, oh);
    std::string plain;
    for (size_t i = 0; i < out.size(); i += 3) plain += out[i];
    return plain + std::to_string(ow) + "x" + std::to_string(oh);
  };
  EXPECT_EQ(shown("ABCD", 2, 2, 6), "CADB2x2");  // a quarter turn clockwise
  EXPECT_EQ(shown("ABCD", 2, 2, 8), "BDAC2x2");
  EXPECT_EQ(shown("ABCD", 2, 2, 3), "DCBA2x2");
  EXPECT_EQ(shown("ABCD", 2, 2, 5), "ACBD2x2");
  EXPECT_EQ(shown("ABCD", 2, 2, 2), "BADC2x2");
  EXPECT_EQ(shown("AB", 2, 1, 6), "AB1x2");
  EXPECT_EQ(shown("ABCD", 2, 2, 0), "ABCD2x2");
}

TEST(PreviewBounds, BombIsRefusedFromItsHeader) {
  test::TempDir d;
  std::string bomb = sys::joinPath(d.path, "bomb.png");
  test::writeFile(bomb, makePng(50000, 50000, 1));
  std::string jpeg;
  sys::Preview got = sys::makePreview(bomb, 160, jpeg);
#ifdef _WIN32
  // Wine's PNG decoder reads the pixels as it opens the file, and fails on
  // these; the system's own reads the header alone and is refused by it.
  EXPECT_NE(got, sys::Preview::Made);
#else
  EXPECT_EQ(got, sys::Preview::TooLarge);
#endif
  EXPECT_TRUE(jpeg.empty());
}

TEST(ThumbCache, KeysFollowPathFileAndSize) {
  files::ThumbKey k{"/p/a.jpg", 100, 1700000000, 160};
  std::string name = files::thumbFileName(k);
  EXPECT_EQ(name, files::thumbFileName(k));
  EXPECT_EQ(name.size(), 68u);
  for (auto change : {+[](files::ThumbKey& x) { x.fullPath = "/p/b.jpg"; },
                      +[](files::ThumbKey& x) { x.fileSize = 101; },
                      +[](files::ThumbKey& x) { x.modified++; }, +[](files::ThumbKey& x) { x.size = 320; }}) {
    files::ThumbKey other = k;
    change(other);
    EXPECT_NE(files::thumbFileName(other), name);
  }
}

TEST(ThumbCache, BoundedLeastRecentlyUsedFirstAndNothingBrokenServed) {
  test::TempDir d;
  std::string folder = sys::joinPath(d.path, "thumbs");
  sys::createDirectories(folder);
  // What a crash can leave: a temporary file, and a cut preview under a
  // final name (a file system that lost the end of it).
  test::writeFile(sys::joinPath(folder, ".vantrel-1-2.part"), "half");
  std::string cut = std::string(64, 'c') + ".jpg";
  test::writeFile(sys::joinPath(folder, cut), kJpeg.substr(0, 500));
  files::openThumbCache(folder, 3 * kJpeg.size());
  std::string got;
  EXPECT_FALSE(files::findThumb(cut, got));
  EXPECT_FALSE(sys::pathExists(sys::joinPath(folder, cut)));
  EXPECT_FALSE(sys::pathExists(sys::joinPath(folder, ".vantrel-1-2.part")));

  std::string a = std::string(64, 'a') + ".jpg", b = std::string(64, 'b') + ".jpg", e = std::string(64, 'e') + ".jpg";
  std::string f = std::string(64, 'f') + ".jpg";
  ASSERT_TRUE(files::keepThumb(a, kJpeg));
  ASSERT_TRUE(files::keepThumb(b, kJpeg));
  ASSERT_TRUE(files::keepThumb(e, kJpeg));
  ASSERT_TRUE(files::findThumb(a, got));  // a is now used more recently than b
  EXPECT_EQ(got, kJpeg);
  ASSERT_TRUE(files::keepThumb(f, kJpeg));
  EXPECT_FALSE(files::findThumb(b, got));
  EXPECT_FALSE(sys::pathExists(sys::joinPath(folder, b)));
  EXPECT_TRUE(files::findThumb(a, got));
  EXPECT_EQ(files::thumbCacheBytes(), 3 * kJpeg.size());
  std::vector<sys::FolderEntry> entries;
  sys::listFolder(folder, entries);
  EXPECT_EQ(entries.size(), 3u + 2);  // "." and ".." besides: no temporary file stays behind

  // After a restart the same previews are found, within a smaller bound.
  files::openThumbCache(folder, 2 * kJpeg.size());
  EXPECT_EQ(files::thumbCacheBytes(), 2 * kJpeg.size());
  files::openThumbCache({}, 0);
}

TEST(ThumbQueue, TwoAtOnceOthersInOrderAndALeaverStopsWaiting) {
  ASSERT_TRUE(files::awaitTurn([] { return true; }));
  ASSERT_TRUE(files::awaitTurn([] { return true; }));
  std::atomic<int> firstIn{0}, secondIn{0};
  std::thread first([&] { firstIn = files::awaitTurn([] { return true; }) ? 1 : -1; });
  ASSERT_TRUE(test::waitUntil([] { return files::turnsWaiting() == 1; }, 5000));
  std::thread second([&] { secondIn = files::awaitTurn([] { return true; }) ? 1 : -1; });
  ASSERT_TRUE(test::waitUntil([] { return files::turnsWaiting() == 2; }, 5000));
  std::atomic<bool> wanted{true};
  std::thread leaver([&] { EXPECT_FALSE(files::awaitTurn([&] { return wanted.load(); })); });
  ASSERT_TRUE(test::waitUntil([] { return files::turnsWaiting() == 3; }, 5000));
  wanted = false;
  leaver.join();
  EXPECT_EQ(files::turnsWaiting(), 2);

  files::endTurn();
  first.join();
  EXPECT_EQ(firstIn, 1);
  EXPECT_EQ(secondIn, 0);
  files::endTurn();
  second.join();
  EXPECT_EQ(secondIn, 1);
  files::endTurn();
  files::endTurn();
  EXPECT_EQ(files::turnsTaken(), 0);
}

bool running() { return http::serverRunning(); }

class ThumbRoutes : public ::testing::Test {
 protected:
  test::TempDir root, base;
  int port = 0;
  std::string cookie;

  void SetUp() override {
    auth::resetSessions();
    files::setWebRoot(root.path);
    files::openThumbCache(sys::joinPath(base.path, "thumbs"));
    files::forgetNoPreviews();
    cookie = std::string(core::flavour().auth.cookieName) + "=" + auth::createSession();
    port = test::freePort();
    http::setServerPortOverride(port);
    http::startServer(app::routes());
    ASSERT_TRUE(test::waitUntil(running, 5000));
  }
  void TearDown() override {
    http::stopServer();
    http::waitForConnections(5000);
    http::setServerPortOverride(0);
    files::setWebRoot({});
    files::openThumbCache({}, 0);
    auth::resetSessions();
  }
  std::string get(const std::string& target, const std::string& extra = {}) {
    return test::exchange(port, "GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\nCookie: " + cookie + "\r\n" +
                                    extra + "\r\n");
  }
  std::string put(const std::string& name, const std::string& bytes) {
    std::string path = sys::joinPath(root.path, name);
    test::writeFile(path, bytes);
    return path;
  }
};

std::string statusLine(const std::string& r) { return r.substr(0, r.find("\r\n")); }
std::string body(const std::string& r) { return r.substr(r.find("\r\n\r\n") + 4); }
std::string header(const std::string& r, const std::string& name) {
  size_t at = r.find("\r\n" + name + ": ");
  if (at == std::string::npos || at > r.find("\r\n\r\n")) return {};
  at += name.size() + 4;
  return r.substr(at, r.find("\r\n", at) - at);
}

TEST_F(ThumbRoutes, PreviewTaggedCachedRevalidatedAndRemade) {
  std::string photo = put("wide.png", makePng(400, 200, 200));
  ASSERT_TRUE(sys::setFileModifiedMs(photo, 1700000000000ull));
  std::string r = get("/api/thumb?path=wide.png&size=160");
  ASSERT_EQ(statusLine(r), "HTTP/1.1 200 OK") << r.substr(0, 300);
  EXPECT_EQ(header(r, "Content-Type"), "image/jpeg");
  EXPECT_EQ(header(r, "X-Content-Type-Options"), "nosniff");
  EXPECT_EQ(header(r, "Cache-Control"), "private, max-age=86400");
  std::string etag = header(r, "ETag");
  ASSERT_FALSE(etag.empty());
  int w = 0, h = 0;
  ASSERT_TRUE(jpegSize(body(r), w, h));
  EXPECT_EQ(w, 160);
  EXPECT_EQ(h, 80);
  EXPECT_GT(files::thumbCacheBytes(), 0u);

  std::string again = get("/api/thumb?path=wide.png&size=160", "If-None-Match: " + etag + "\r\n");
  EXPECT_EQ(statusLine(again), "HTTP/1.1 304 Not Modified");
  EXPECT_EQ(body(again), "");
  EXPECT_EQ(header(again, "ETag"), etag);
  std::string larger = get("/api/thumb?path=wide.png&size=320", "If-None-Match: " + etag + "\r\n");
  EXPECT_EQ(statusLine(larger), "HTTP/1.1 200 OK");
  EXPECT_NE(header(larger, "ETag"), etag);

  // The photo replaced by a tall one of the same time: a new preview.
  put("wide.png", makePng(100, 300, 300));
  ASSERT_TRUE(sys::setFileModifiedMs(photo, 1700000000000ull));
  r = get("/api/thumb?path=wide.png&size=160", "If-None-Match: " + etag + "\r\n");
  ASSERT_EQ(statusLine(r), "HTTP/1.1 200 OK");
  ASSERT_TRUE(jpegSize(body(r), w, h));
  EXPECT_LT(w, h);
}

}  // namespace
