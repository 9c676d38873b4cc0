#include "files/multipart.h"

#include <cstring>
#include <string_view>

#include "core/ascii_case.h"

namespace files {

namespace {

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

namespace {

// Each step below either yields an event (true, in `event`) or has moved the
// parser on and wants to be called again (false).

bool seekDelimiter(MultipartParser& p, std::string_view view, PartEvent& event) {
  if (!p.atLineStart || !view.starts_with(p.delimiter)) {
    size_t at = view.find(p.delimiterLine);
    if (at == std::string_view::npos) {
      // Preamble: only a tail that may hold the start of a delimiter line is
      // kept; it no longer begins a line.
      if (view.size() > p.keep) {
        p.begin = p.end - p.keep;
        p.atLineStart = false;
      }
      event = needMore(p);
      return true;
    }
    p.begin += at + 2;
    p.atLineStart = true;
    return false;
  }
  // The two bytes after a delimiter tell the closing one ("--") from a
  // part's (CR LF); at the end of the body fewer may be there.
  if (view.size() < p.delimiter.size() + 2 && !p.inputEnded) {
    event = PartEvent::NeedMore;
    return true;
  }
  std::string_view after = view.substr(p.delimiter.size());
  if (after.starts_with("--")) {
    p.done = true;
    event = PartEvent::Finished;
    return true;
  }
  p.begin += p.delimiter.size() + (after.starts_with("\r\n") ? 2 : 0);
  p.state = PartState::Headers;
  p.headerScanned = 0;
  return false;
}

bool readPartHeaders(MultipartParser& p, std::string_view view, PartEvent& event) {
  size_t from = p.headerScanned >= 3 ? p.headerScanned - 3 : 0;
  size_t at = view.find("\r\n\r\n", from);
  if (at == std::string_view::npos) {
    p.headerScanned = view.size();
    event = view.size() > kMaxPartHeaderBytes ? fail(p, "Part headers too large") : needMore(p);
    return true;
  }
  std::string block(view.data(), at);
  p.begin += at + 4;
  p.state = PartState::Data;
  p.inFile = extractFilename(block, p.fileName);
  event = PartEvent::FileStart;
  return p.inFile;
}

// Data of a file part is handed out in place; other parts' data is skipped.
bool handOutData(MultipartParser& p, std::string_view view, size_t n, PartEvent& event) {
  p.begin += n;
  if (!p.inFile) return false;
  p.data = view.data();
  p.dataSize = n;
  event = PartEvent::FileData;
  return true;
}

bool readPartData(MultipartParser& p, std::string_view view, PartEvent& event) {
  size_t at = view.find(p.delimiterLine);
  if (at == std::string_view::npos) {
    // Everything before the tail is data: a delimiter cannot start there.
    if (view.size() > p.keep) return handOutData(p, view, view.size() - p.keep, event);
    event = needMore(p);
    return true;
  }
  // The data before the delimiter line goes first (skipped data moves on).
  if (at > 0 && handOutData(p, view, at, event)) return true;
  // Drop the CR LF in front of the delimiter; the delimiter step takes the rest.
  p.begin += 2;
  p.state = PartState::Delimiter;
  p.atLineStart = true;
  if (!p.inFile) return false;
  p.inFile = false;
  event = PartEvent::FileEnd;
  return true;
}

}  // namespace

PartEvent nextPartEvent(MultipartParser& p) {
  if (p.done) return p.error.empty() ? PartEvent::Finished : PartEvent::Failed;
  PartEvent event = PartEvent::NeedMore;
  for (;;) {
    std::string_view view(p.buffer.data() + p.begin, p.end - p.begin);
    bool yielded = false;
    switch (p.state) {
      case PartState::Delimiter: yielded = seekDelimiter(p, view, event); break;
      case PartState::Headers: yielded = readPartHeaders(p, view, event); break;
      case PartState::Data: yielded = readPartData(p, view, event); break;
    }
    if (yielded) return event;
  }
}

bool extractFilename(const std::string& headerBlock, std::string& name) {
  name.clear();
  if (headerBlock.size() < 10) return false;
  size_t at = core::lowerAscii(headerBlock).find("filename=\"");
  if (at == std::string::npos) return false;
  size_t start = at + 10;
  if (start >= headerBlock.size()) return false;
  size_t close = headerBlock.find('"', start);
  if (close == std::string::npos) return false;
  name = headerBlock.substr(start, close - start);
  return !name.empty();
}

namespace {

bool isBlank(char ch) { return ch == ' ' || ch == '\t'; }

std::string trimmed(const std::string& text) {
  size_t first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// One parameter of a header value, name lower-cased, value unquoted.
struct Parameter {
  std::string name, value;
};

// The parameter that starts at text[i] (just after its ";"); i ends at the
// ";" before the next one, or at the end. False when a quoted value is not
// closed: nothing after it can be told apart.
bool nextParameter(const std::string& text, size_t& i, Parameter& p) {
  size_t nameEnd = text.find_first_of("=;", i);
  if (nameEnd == std::string::npos) nameEnd = text.size();
  p.name = core::lowerAscii(trimmed(text.substr(i, nameEnd - i)));
  p.value.clear();
  i = nameEnd;
  if (i == text.size() || text[i] == ';') return true;
  ++i;
  if (i < text.size() && text[i] == '"') {
    // A backslash in a quoted value stands for the character after it.
    for (++i; i < text.size() && text[i] != '"'; ++i) {
      if (text[i] == '\\' && i + 1 < text.size()) ++i;
      p.value.push_back(text[i]);
    }
    if (i == text.size()) return false;
    ++i;
  } else {
    while (i < text.size() && text[i] != ';' && !isBlank(text[i])) p.value.push_back(text[i++]);
  }
  i = text.find(';', i);
  if (i == std::string::npos) i = text.size();
  return true;
}

}  // namespace

bool extractBoundary(const std::string& contentType, std::string& boundary) {
  boundary.clear();
  // The parameters follow the media type, each after a ";".
  size_t i = contentType.find(';');
  if (i == std::string::npos) return false;
  while (i < contentType.size()) {
    ++i;
    Parameter p;
    if (!nextParameter(contentType, i, p)) return false;
    if (p.name == "boundary") {
      boundary = p.value;
      return !boundary.empty();
    }
  }
  return false;
}

}  // namespace files
