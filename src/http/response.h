// Writing the one response of a connection: status line, fixed headers,
// body; JSON envelopes and the small HTML error page.
#pragma once
#include <string>
#include <vector>

#include "http/connection.h"
#include "http/request.h"

namespace http {

extern const char* const kTypeJson;
extern const char* const kTypeHtml;
extern const char* const kTypeText;

// The head alone, as sendResponse writes it; streamed downloads use it too.
std::string responseHead(int status, const std::string& reason, const std::string& contentType,
                         unsigned long long contentLength, const HeaderList& extra);
void sendResponse(Connection& c, int status, const std::string& reason, const std::string& contentType,
                  const std::string& body, const HeaderList& extra = {});
void sendBytes(Connection& c, const std::string& contentType, const std::vector<unsigned char>& body,
               const HeaderList& extra = {});
void sendJson(Connection& c, int status, const std::string& body);
void sendHtml(Connection& c, int status, const std::string& body);
// A plain-text answer whose body is the given text.
void sendText(Connection& c, int status, const std::string& reason, const std::string& body);

std::string httpDate();
std::string formatHttpDate(int weekday, int day, int month, int year, int hour, int minute, int second);
// The text as the inside of a JSON string: quotes, backslashes and every
// control byte escaped; each byte that is not part of well-formed UTF-8
// becomes U+FFFD, so the answer is valid JSON whatever a name holds.
std::string jsonEscape(const std::string& text);
std::string jsonOk(const std::string& members = {});
std::string jsonError(const std::string& message);
std::string htmlErrorPage(const std::string& title, const std::string& message);

}  // namespace http
