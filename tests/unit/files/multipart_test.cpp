#include "files/multipart.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace {

using files::PartEvent;

struct Outcome {
  bool finished = false;
  std::string error;
  std::vector<std::pair<std::string, std::string>> files;  // name, data

  bool operator==(const Outcome&) const = default;
};

// Drives the parser the way the upload does: the body arrives in the given
// pieces, and after the last one the input ends.
Outcome parse(const std::string& boundary, const std::vector<std::string>& pieces) {
  files::MultipartParser p;
  files::startMultipart(p, boundary);
  Outcome out;
  size_t next = 0;
  bool open = false;
  for (int guard = 0; guard < 1000000; ++guard) {
    PartEvent e = files::nextPartEvent(p);
    switch (e) {
      case PartEvent::NeedMore:
        EXPECT_FALSE(p.inputEnded) << "asked for more after the end";
        if (next < pieces.size())
          files::multipartFeed(p, pieces[next].data(), pieces[next].size()), ++next;
        else
          p.inputEnded = true;
        break;
      case PartEvent::FileStart:
        EXPECT_FALSE(open);
        open = true;
        out.files.push_back({p.fileName, ""});
        break;
      case PartEvent::FileData:
        EXPECT_TRUE(open);
        EXPECT_GT(p.dataSize, 0u);
        out.files.back().second.append(p.data, p.dataSize);
        break;
      case PartEvent::FileEnd:
        EXPECT_TRUE(open);
        open = false;
        break;
      case PartEvent::Finished:
        EXPECT_FALSE(open);
        out.finished = true;
        return out;
      case PartEvent::Failed:
        out.error = p.error;
        return out;
    }
  }
  ADD_FAILURE() << "parser did not stop";
  return out;
}

Outcome parseWhole(const std::string& boundary, const std::string& body) { return parse(boundary, {body}); }

std::string filePart(const std::string& boundary, const std::string& name, const std::string& data) {
  return "--" + boundary + "\r\nContent-Disposition: form-data; name=\"files\"; filename=\"" + name +
         "\"\r\nContent-Type: application/octet-stream\r\n\r\n" + data + "\r\n";
}

std::string fieldPart(const std::string& boundary, const std::string& name, const std::string& value) {
  return "--" + boundary + "\r\nContent-Disposition: form-data; name=\"" + name + "\"\r\n\r\n" + value + "\r\n";
}

const std::string kB = "----WebKitFormBoundaryQx7Z";

// Two files, a form field between them, data that imitates the delimiter.
const std::string kMixed = filePart(kB, "a.txt", "alpha\r\n--not the boundary\r\n--" + kB.substr(0, 10)) +
                           fieldPart(kB, "note", "skip me") + filePart(kB, "b.bin", std::string("\0\r\n\r\n\xff", 6)) +
                           "--" + kB + "--\r\n";

Outcome expectedMixed() {
  Outcome o;
  o.finished = true;
  o.files = {{"a.txt", "alpha\r\n--not the boundary\r\n--" + kB.substr(0, 10)},
             {"b.bin", std::string("\0\r\n\r\n\xff", 6)}};
  return o;
}

TEST(MultipartParser, SplitAtEveryPositionGivesTheSameParts) {
  Outcome want = expectedMixed();
  ASSERT_EQ(parseWhole(kB, kMixed), want);
  for (size_t i = 0; i <= kMixed.size(); ++i)
    ASSERT_EQ(parse(kB, {kMixed.substr(0, i), kMixed.substr(i)}), want) << "split at " << i;
}

TEST(MultipartParser, SplitAtEveryPairOfPositionsGivesTheSameParts) {
  const std::string b = "xyz";
  std::string body = filePart(b, "f", "12\r\n--xy\r\n-34") + "--xyz--";
  Outcome want;
  want.finished = true;
  want.files = {{"f", "12\r\n--xy\r\n-34"}};
  for (size_t i = 0; i <= body.size(); ++i)
    for (size_t j = i; j <= body.size(); ++j)
      ASSERT_EQ(parse(b, {body.substr(0, i), body.substr(i, j - i), body.substr(j)}), want) << i << "," << j;
}

TEST(MultipartParser, DelimiterCountsOnlyAtTheStartOrAfterALineBreak) {
  // "X--xyz" begins no part, however the preamble is cut into pieces: only
  // the closing delimiter, after a CR LF, is one.
  const std::string b = "xyz";
  Outcome want;
  want.finished = true;
  for (const std::string& preamble : {std::string("X"), std::string(40, 'p')}) {
    std::string body = preamble + filePart(b, "f", "data") + "--xyz--";
    ASSERT_EQ(parseWhole(b, body), want);
    for (size_t i = 0; i <= body.size(); ++i)
      for (size_t j = i; j <= body.size(); ++j)
        ASSERT_EQ(parse(b, {body.substr(0, i), body.substr(i, j - i), body.substr(j)}), want) << i << "," << j;
  }
}

TEST(MultipartParser, OneByteAtATime) {
  std::vector<std::string> bytes;
  for (char ch : kMixed) bytes.push_back(std::string(1, ch));
  EXPECT_EQ(parse(kB, bytes), expectedMixed());
}

TEST(MultipartParser, LargeDataPassesInPiecesWithoutLosingBytes) {
  std::string data;
  for (int i = 0; i < 300000; ++i) data += (char)(i * 7 + i / 256);
  std::string body = filePart(kB, "big.bin", data) + "--" + kB + "--\r\n";
  std::vector<std::string> pieces;
  for (size_t at = 0; at < body.size(); at += 65536) pieces.push_back(body.substr(at, 65536));
  Outcome o = parse(kB, pieces);
  ASSERT_TRUE(o.finished);
  ASSERT_EQ(o.files.size(), 1u);
  EXPECT_TRUE(o.files[0].second == data);
}

TEST(MultipartParser, PreambleAndLeadingLineBreakAreIgnored) {
  std::string parts = filePart(kB, "a.txt", "A") + "--" + kB + "--\r\n";
  Outcome want;
  want.finished = true;
  want.files = {{"a.txt", "A"}};
  EXPECT_EQ(parseWhole(kB, "This is a preamble.\r\n" + parts), want);
  EXPECT_EQ(parseWhole(kB, "\r\n" + parts), want);
  std::string longPreamble(100000, 'p');
  EXPECT_EQ(parse(kB, {longPreamble, "\r\n" + parts}), want);
}

TEST(MultipartParser, ClosingDelimiterWithOrWithoutLineBreakOrEpilogue) {
  std::string part = filePart(kB, "a.txt", "A");
  Outcome want;
  want.finished = true;
  want.files = {{"a.txt", "A"}};
  EXPECT_EQ(parseWhole(kB, part + "--" + kB + "--"), want);
  EXPECT_EQ(parseWhole(kB, part + "--" + kB + "--\r\n"), want);
  EXPECT_EQ(parseWhole(kB, part + "--" + kB + "--\r\nepilogue"), want);
}

TEST(MultipartParser, PartsWithoutFileNameAreSkipped) {
  std::string body = fieldPart(kB, "path", "docs") + filePart(kB, "", "ignored") + filePart(kB, "k.txt", "kept") +
                     "--" + kB + "--\r\n";
  Outcome want;
  want.finished = true;
  want.files = {{"k.txt", "kept"}};
  EXPECT_EQ(parseWhole(kB, body), want);
}

TEST(MultipartParser, EmptyFileAndEmptyBody) {
  Outcome want;
  want.finished = true;
  want.files = {{"empty", ""}};
  EXPECT_EQ(parseWhole(kB, filePart(kB, "empty", "") + "--" + kB + "--\r\n"), want);
  Outcome none;
  none.finished = true;
  EXPECT_EQ(parseWhole(kB, "--" + kB + "--\r\n"), none);
}

TEST(MultipartParser, BodyEndingEarlyIsAborted) {
  std::string whole = filePart(kB, "a.txt", "0123456789") + "--" + kB + "--";
  // Cut in the first delimiter, the headers, the data and the closing delimiter.
  for (size_t cut : {size_t(0), size_t(5), kB.size() + 4, kB.size() + 30, whole.size() - kB.size() - 10,
                     whole.size() - 4, whole.size() - 1}) {
    Outcome o = parseWhole(kB, whole.substr(0, cut));
    EXPECT_FALSE(o.finished) << cut;
    EXPECT_EQ(o.error, "Upload aborted") << cut;
  }
  EXPECT_EQ(parseWhole(kB, "no delimiter anywhere").error, "Upload aborted");
}

TEST(MultipartParser, HeaderBlockThatNeverEndsIsRefused) {
  std::string body = "--" + kB + "\r\nContent-Disposition: form-data; filename=\"x\"\r\n" +
                     std::string(files::kMaxPartHeaderBytes + 10, 'h');
  std::vector<std::string> pieces;
  for (size_t at = 0; at < body.size(); at += 4096) pieces.push_back(body.substr(at, 4096));
  pieces.push_back(std::string(1000000, 'h'));
  Outcome o = parse(kB, pieces);
  EXPECT_FALSE(o.finished);
  EXPECT_EQ(o.error, "Part headers too large");
}

TEST(MultipartParser, CompletedFilesPrecedeAFailure) {
  std::string body = filePart(kB, "one", "1") + filePart(kB, "two", "22");
  Outcome o = parseWhole(kB, body.substr(0, body.size() - 4));
  EXPECT_EQ(o.error, "Upload aborted");
  ASSERT_EQ(o.files.size(), 2u);
  EXPECT_EQ(o.files[0], std::make_pair(std::string("one"), std::string("1")));
}

TEST(ExtractFilename, TakesTheQuotedTextAsSent) {
  std::string name;
  EXPECT_TRUE(files::extractFilename("Content-Disposition: form-data; name=\"f\"; filename=\"R\xc3\xa9sum\xc3\xa9.PDF\"",
                                     name));
  EXPECT_EQ(name, "R\xc3\xa9sum\xc3\xa9.PDF");
  EXPECT_TRUE(files::extractFilename("content-disposition: form-data; FILENAME=\"a%20b.txt\"", name));
  EXPECT_EQ(name, "a%20b.txt");
  EXPECT_FALSE(files::extractFilename("Content-Disposition: form-data; name=\"f\"", name));
  EXPECT_FALSE(files::extractFilename("Content-Disposition: form-data; filename=\"\"", name));
  EXPECT_FALSE(files::extractFilename("Content-Disposition: form-data; filename=\"unclosed", name));
  EXPECT_FALSE(files::extractFilename("Content-Disposition: form-data; filename=\"", name));
  EXPECT_FALSE(files::extractFilename("filename", name));
}

TEST(ExtractBoundary, QuotedAndCaseKept) {
  std::string b;
  EXPECT_TRUE(files::extractBoundary("multipart/form-data; boundary=\"abc\"", b));
  EXPECT_EQ(b, "abc");
  EXPECT_TRUE(files::extractBoundary("multipart/form-data; BOUNDARY=AbC-123", b));
  EXPECT_EQ(b, "AbC-123");
  EXPECT_TRUE(files::extractBoundary("multipart/form-data; boundary=\"a b;c\\\"d\"", b));
  EXPECT_EQ(b, "a b;c\"d");
  EXPECT_FALSE(files::extractBoundary("multipart/form-data", b));
  EXPECT_FALSE(files::extractBoundary("multipart/form-data; boundary=", b));
  EXPECT_FALSE(files::extractBoundary("multipart/form-data; boundary=\"open; charset=utf-8", b));
  EXPECT_FALSE(files::extractBoundary("multipart/form-data; xboundary=XyZ", b));
  EXPECT_FALSE(files::extractBoundary("", b));
}

TEST(ExtractBoundary, OtherParametersBeforeOrAfterIt) {
  for (const char* type : {"multipart/form-data; boundary=XyZ; charset=utf-8",
                           "multipart/form-data; boundary=\"XyZ\"; charset=utf-8",
                           "multipart/form-data; charset=utf-8; Boundary=XyZ",
                           "multipart/form-data;boundary=XyZ charset=utf-8",
                           "multipart/form-data; charset=\"x;boundary=no\"; x-boundary=no; boundary=XyZ"}) {
    std::string b;
    EXPECT_TRUE(files::extractBoundary(type, b)) << type;
    EXPECT_EQ(b, "XyZ") << type;
  }
}

}  // namespace
