#include "files/multipart.h"

#include <cstring>
#include <string_view>

namespace files {

namespace {

std::string lowerAscii(const std::string& text) {
  std::string out = text;
  for (char& ch : out)
    if (ch >= 'A' && ch <= 'Z') ch = (char)(ch - 'A' + 'a');
  return out;
}

PartEvent fail(MultipartParser& p, const char* why) {
  p.error = why;
  p.done = true;
  return PartEvent::Failed;
}

// A body that ends while the parser still waits for bytes was cut short.
PartEvent needMore(MultipartParser& p) {
  if (p.inputEnded) return fail(p, "Upload aborted");
  return PartEvent::NeedMore;
}

}  // namespace

void startMultipart(MultipartParser& p, const std::string& boundary) {
  p = MultipartParser{};
  p.delimiter = "--" + boundary;
  p.delimiterLine = "\r\n" + p.delimiter;
  p.keep = p.delimiterLine.size() + 8;
}

char* multipartSpace(MultipartParser& p, size_t n) {
  size_t have = p.end - p.begin;
  if (p.begin > 0) {
    if (have > 0) std::memmove(p.buffer.data(), p.buffer.data() + p.begin, have);
    p.begin = 0;
    p.end = have;
  }
  if (p.buffer.size() < have + n) p.buffer.resize(have + n);
  return p.buffer.data() + p.end;
}

void multipartCommit(MultipartParser& p, size_t n) { p.end += n; }

void multipartFeed(MultipartParser& p, const char* bytes, size_t n) {
  if (n == 0) return;
  std::memcpy(multipartSpace(p, n), bytes, n);
  multipartCommit(p, n);
}

PartEvent nextPartEvent(MultipartParser& p) {
  if (p.done) return p.error.empty() ? PartEvent::Finished : PartEvent::Failed;
  for (;;) {
    const char* b = p.buffer.data() + p.begin;
    std::string_view view(b, p.end - p.begin);

    if (p.state == 0) {
      if (!p.atLineStart || !view.starts_with(p.delimiter)) {
        size_t at = view.find(p.delimiterLine);
        if (at == std::string_view::npos) {
          // Preamble: only a tail that may hold the start of a delimiter
          // line is kept; it no longer begins a line.
          if (view.size() > p.keep) {
            p.begin = p.end - p.keep;
            p.atLineStart = false;
          }
          return needMore(p);
        }
        p.begin += at + 2;
        p.atLineStart = true;
        continue;
      }
      // The two bytes after a delimiter tell the closing one ("--") from a
      // part's (CR LF); at the end of the body fewer may be there.
      if (view.size() < p.delimiter.size() + 2 && !p.inputEnded) return PartEvent::NeedMore;
      std::string_view after = view.substr(p.delimiter.size());
      if (after.starts_with("--")) {
        p.done = true;
        return PartEvent::Finished;
      }
      p.begin += p.delimiter.size() + (after.starts_with("\r\n") ? 2 : 0);
      p.state = 1;
      p.headerScanned = 0;
      continue;
    }

    if (p.state == 1) {
      size_t from = p.headerScanned >= 3 ? p.headerScanned - 3 : 0;
      size_t at = view.find("\r\n\r\n", from);
      if (at == std::string_view::npos) {
        p.headerScanned = view.size();
        if (view.size() > kMaxPartHeaderBytes) return fail(p, "Part headers too large");
        return needMore(p);
      }
      std::string block(b, at);
      p.begin += at + 4;
      p.state = 2;
      p.inFile = extractFilename(block, p.fileName);
      if (p.inFile) return PartEvent::FileStart;
      continue;
    }

    size_t at = view.find(p.delimiterLine);
    if (at != std::string_view::npos) {
      if (at > 0) {
        p.begin += at;
        if (p.inFile) {
          p.data = b;
          p.dataSize = at;
          return PartEvent::FileData;
        }
      }
      // Drop the CR LF in front of the delimiter; state 0 takes the rest.
      p.begin += 2;
      p.state = 0;
      p.atLineStart = true;
      if (p.inFile) {
        p.inFile = false;
        return PartEvent::FileEnd;
      }
      continue;
    }
    if (view.size() > p.keep) {
      // Everything before the tail is data: a delimiter cannot start there.
      size_t n = view.size() - p.keep;
      p.begin += n;
      if (p.inFile) {
        p.data = b;
        p.dataSize = n;
        return PartEvent::FileData;
      }
      continue;
    }
    return needMore(p);
  }
}

bool extractFilename(const std::string& headerBlock, std::string& name) {
  name.clear();
  if (headerBlock.size() < 10) return false;
  size_t at = lowerAscii(headerBlock).find("filename=\"");
  if (at == std::string::npos) return false;
  size_t start = at + 10;
  if (start >= headerBlock.size()) return false;
  size_t close = headerBlock.find('"', start);
  if (close == std::string::npos) return false;
  name = headerBlock.substr(start, close - start);
  return !name.empty();
}

bool extractBoundary(const std::string& contentType, std::string& boundary) {
  boundary.clear();
  size_t at = lowerAscii(contentType).find("boundary=");
  if (at == std::string::npos) return false;
  boundary = contentType.substr(at + 9);
  if (!boundary.empty() && boundary.front() == '"') boundary.erase(0, 1);
  if (!boundary.empty() && boundary.back() == '"') boundary.pop_back();
  return !boundary.empty();
}

}  // namespace files
