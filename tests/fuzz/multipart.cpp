// The upload body parser. The same body, fed in the fuzzer's pieces (through
// either way of handing bytes over) and fed whole, must give the same files
// and the same end; a well-formed upload gives back its file's bytes; every
// stored name must be a plain, valid file name.
#include <cstring>

#include "files/multipart.h"
#include "files/names.h"
#include "fuzz_support.h"

namespace {

// What a parse produced: each file's name and bytes, then how it ended.
std::string transcript(const std::string& boundary, const std::string& body, const std::string& plan) {
  files::MultipartParser p;
  files::startMultipart(p, boundary);
  std::string out;
  size_t at = 0, step = 0;
  bool inFile = false;
  // Each step either consumes input or reports: a bound on steps catches a
  // parser that stops making progress.
  size_t budget = 4 * body.size() + 64;
  for (;;) {
    FUZZ_CHECK(budget-- > 0);
    files::PartEvent e = files::nextPartEvent(p);
    if (e == files::PartEvent::NeedMore) {
      FUZZ_CHECK(!p.inputEnded);
      size_t n = fuzz::nextPiece(plan, step, body.size() - at);
      if (n == 0) {
        p.inputEnded = true;
      } else if (step % 2) {
        files::multipartFeed(p, body.data() + at, n);
      } else {
        std::memcpy(files::multipartSpace(p, n), body.data() + at, n);
        files::multipartCommit(p, n);
      }
      at += n;
      continue;
    }
    if (e == files::PartEvent::FileStart) {
      FUZZ_CHECK(!inFile && !p.fileName.empty());
      std::string stored = files::sanitizeUploadName(p.fileName);
      FUZZ_CHECK(!stored.empty() && stored.find_first_of(std::string("/\\\0", 3)) == std::string::npos);
      FUZZ_CHECK(stored != "." && stored != ".." && fuzz::isValidUtf8(stored));
      inFile = true;
      out += "[file " + p.fileName + "]";
    } else if (e == files::PartEvent::FileData) {
      FUZZ_CHECK(inFile && p.dataSize > 0);
      out.append(p.data, p.dataSize);
    } else if (e == files::PartEvent::FileEnd) {
      FUZZ_CHECK(inFile);
      inFile = false;
      out += "[end]";
    } else if (e == files::PartEvent::Finished) {
      return out + "[finished]";
    } else {
      FUZZ_CHECK(!p.error.empty());
      return out + "[failed " + p.error + "]";
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::Input in{data, size};
  std::string contentType = fuzz::takeString(in, 80);
  std::string plan = fuzz::takeString(in, 16);
  std::string body = fuzz::takeRest(in);

  std::string boundary;
  if (!files::extractBoundary("multipart/form-data; boundary=" + contentType, boundary)) return 0;
  std::string name;
  files::extractFilename(body, name);

  FUZZ_CHECK(transcript(boundary, body, plan) == transcript(boundary, body, {}));

  // The same bytes as the data of a well-formed upload come back whole.
  std::string delimiter = "\r\n--" + boundary;
  if ((body + delimiter).find(delimiter) != body.size()) return 0;
  std::string upload = "--" + boundary + "\r\nContent-Disposition: form-data; name=\"f\"; filename=\"f\"\r\n\r\n" +
                       body + delimiter + "\r\nContent-Disposition: form-data; name=\"n\"\r\n\r\nfield" + delimiter +
                       "--\r\n";
  FUZZ_CHECK(transcript(boundary, upload, plan) == "[file f]" + body + "[end][finished]");
  return 0;
}
