// The multipart/form-data body parser: a state machine fed byte chunks, so
// that it works the same whether the body arrives in one piece or a byte at
// a time. It only finds parts and names; reading and writing are the
// caller's (upload.cpp).
#pragma once
#include <cstddef>
#include <string>

namespace files {

// Parts whose header block grows past this without its blank line are refused.
constexpr size_t kMaxPartHeaderBytes = 65536;

enum class PartEvent {
  NeedMore,  // feed at least one byte, or set inputEnded when there are none
  FileStart, // a part with a file name begins; fileName holds it as sent
  FileData,  // data/dataSize: the next bytes of that file
  FileEnd,   // the file's part is complete
  Finished,  // the closing delimiter was seen
  Failed,    // error says why; the parser stays failed
};

enum class PartState {
  Delimiter,  // looking for the next delimiter (preamble, or after a part)
  Headers,    // inside a part's header block
  Data,       // inside a part's data
};

struct MultipartParser {
  std::string delimiter;      // "--" + boundary
  std::string delimiterLine;  // CR LF + delimiter
  size_t keep = 0;            // tail held back while searching: delimiter line + 8
  PartState state = PartState::Delimiter;
  // The unconsumed bytes begin a line (the body's start, or just after a
  // CR LF): only there may a delimiter stand without a CR LF in front.
  bool atLineStart = true;
  bool inFile = false;        // the current part's data goes to a file
  bool inputEnded = false;    // set by the caller: the body has no more bytes
  bool done = false;          // Finished or Failed was returned
  // Unconsumed bytes are buffer[begin, end); the rest is spare room.
  std::string buffer;
  size_t begin = 0, end = 0;
  size_t headerScanned = 0;  // bytes of the header block already searched
  std::string fileName;
  const char* data = nullptr;
  size_t dataSize = 0;
  std::string error;
};

void startMultipart(MultipartParser& p, const std::string& boundary);
// Room for n more bytes at the end of the buffer; the pointer stays valid
// until the next call on the parser. Report what arrived with multipartCommit.
char* multipartSpace(MultipartParser& p, size_t n);
void multipartCommit(MultipartParser& p, size_t n);
void multipartFeed(MultipartParser& p, const char* bytes, size_t n);
// The next step of the parse. FileData points into the buffer: use it
// before the next call.
PartEvent nextPartEvent(MultipartParser& p);

// The file name of a part's header block: the text between the quotes of
// filename="...", as sent. False when there is none or it is empty.
bool extractFilename(const std::string& headerBlock, std::string& name);
// The boundary parameter of a Content-Type value, case kept: the parameter
// named boundary in any case, its value up to the next ";" or blank, or a
// quoted value to its closing quote. False when there is none or it is empty.
bool extractBoundary(const std::string& contentType, std::string& boundary);

}  // namespace files
