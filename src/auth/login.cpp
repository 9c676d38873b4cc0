// POST /api/login and GET /auto: the PIN check, the failed-login ban at its
// three points (before the PIN is looked at, after a wrong one, after a
// right one), the budget over all addresses just before the PIN is looked
// at, and the session cookie.
#include "auth/login.h"

#include <string>

#include "core/event_log.h"
#include "core/flavour.h"
#include "auth/bans.h"
#include "auth/login_budget.h"
#include "auth/pin.h"
#include "auth/session_cookie.h"
#include "auth/sessions.h"
#include "http/response.h"
#include "http/router.h"
#include "sys/clock.h"
#include "web/pages.h"

namespace auth {

namespace {

const char* const kPageTitle = "Vantrel PRO";
const char* const kPlainInvalidPinPage =
    "<!doctype html><html><body style='font-family:Segoe UI,sans-serif;padding:22px;'><h3>Invalid PIN</h3>"
    "<div style='margin-top:10px;'><a href='/'>Back</a></div></body></html>";

std::string tooManyAttempts(uint64_t seconds) {
  return "Too many attempts. IP blocked for " + std::to_string(seconds) + " seconds.";
}

std::string plainBanPage(uint64_t seconds) {
  return "<!doctype html><html><body style='font-family:Segoe UI,sans-serif;padding:22px;'><h3>Too many "
         "attempts</h3><div>IP blocked for " +
         std::to_string(seconds) +
         " seconds.</div><div style='margin-top:10px;'><a href='/'>Back</a></div></body></html>";
}

std::string pausedText(uint64_t seconds) {
  return "Too many failed logins; try again in " + std::to_string(seconds) + " s";
}

std::string plainPausedPage(uint64_t seconds) {
  return "<!doctype html><html><body style='font-family:Segoe UI,sans-serif;padding:22px;'><h3>Too many failed "
         "logins</h3><div>" +
         pausedText(seconds) + "</div><div style='margin-top:10px;'><a href='/'>Back</a></div></body></html>";
}

void sendAutoPaused(http::Connection& c, uint64_t seconds) {
  if (core::flavour().auth.autoLogin.plainPages)
    http::sendResponse(c, 429, "Too Many Requests", http::kTypeHtml, plainPausedPage(seconds));
  else
    http::sendHtml(c, 429, http::htmlErrorPage(kPageTitle, pausedText(seconds)));
}

// The pause is logged once, by the attempt that begins it.
LoginTry admitOverall(const std::string& host) {
  uint64_t now = sys::nowSeconds();
  LoginTry t = admitLoginTry(takeStanding(host, now), now);
  if (t.pauseStarted)
    core::logEvent("AUTH    >>>>>>  ALERT <<<<<<<  " + std::to_string(kBudgetChecks) +
                   " failed logins within 10 min => all logins paused " + std::to_string(t.pauseStarted) + " s");
  return t;
}

void sendAutoBanned(http::Connection& c, uint64_t seconds) {
  if (core::flavour().auth.autoLogin.plainPages)
    http::sendResponse(c, 429, "Too Many Requests", http::kTypeHtml, plainBanPage(seconds));
  else
    http::sendHtml(c, 429, http::htmlErrorPage(kPageTitle, tooManyAttempts(seconds)));
}

// The answer to a right PIN: a new session in the cookie.
void sendWithSession(http::Connection& c, const char* contentType, const std::string& body) {
  std::string token = createSession();
  if (token.empty()) {
    http::sendJson(c, 500, http::jsonError("Failed to create session"));
    return;
  }
  http::sendResponse(c, 200, "OK", contentType, body, {{"Set-Cookie", sessionCookie(token)}});
}

}  // namespace

void handleLogin(http::Connection& c, const http::HttpRequest& r) {
  const std::string& host = r.clientHost;
  uint64_t now = sys::nowSeconds();

  // A banned client's body is not read: it gets its answer at once.
  BanState ban = checkBan(host, now);
  if (ban.banned) {
    core::logEvent("AUTH    blocked IP " + host + " (" + std::to_string(ban.remaining) + "s remaining)");
    http::sendJson(c, 429, http::jsonError(tooManyAttempts(ban.remaining)));
    return;
  }

  std::string body;
  if (!http::readJsonBodyOrReply(c, r, body)) return;

  std::string code = http::jsonStringField(body, "code");
  if (!isSixDigits(code)) {
    http::sendJson(c, 400, http::jsonError("Code must be 6 digits"));
    return;
  }

  LoginTry admitted = admitOverall(host);
  if (admitted.admission == Admission::Refuse) {
    http::sendJson(c, 429, http::jsonError(pausedText(admitted.remaining)));
    return;
  }

  if (!pinMatches(code)) {
    if (recordFailure(host, now)) {
      core::logEvent("AUTH    >>>>>>  ALERT <<<<<<<  failed 3x => IP banned 2 min: " + host);
      http::sendJson(c, 429, http::jsonError(tooManyAttempts(kBanSeconds)));
      return;
    }
    core::logEvent("AUTH    failed login from " + r.clientLabel);
    // Answered like the pause, so the try tells nothing but a success.
    if (admitted.admission == Admission::CheckThroughPause)
      http::sendJson(c, 429, http::jsonError(pausedText(admitted.remaining)));
    else
      http::sendJson(c, 401, http::jsonError("Wrong code"));
    return;
  }

  handBackLoginTry(admitted);
  clearFailures(host);
  core::logEvent("AUTH    success from " + r.clientLabel + " (session issued)");
  sendWithSession(c, http::kTypeJson, http::jsonOk());
}

void handleAutoLogin(http::Connection& c, const http::HttpRequest& r) {
  const core::AutoLoginTexts& t = core::flavour().auth.autoLogin;
  if (t.requestLog[0]) core::logEvent(t.requestLog + r.clientLabel);
  const std::string& host = r.clientHost;
  uint64_t now = sys::nowSeconds();

  BanState ban = checkBan(host, now);
  if (ban.banned) {
    core::logEvent(t.blockedLog + host + " (" + std::to_string(ban.remaining) + "s remaining)");
    sendAutoBanned(c, ban.remaining);
    return;
  }

  LoginTry admitted = admitOverall(host);
  if (admitted.admission == Admission::Refuse) {
    sendAutoPaused(c, admitted.remaining);
    return;
  }

  // Any text is compared; a missing parameter compares as the empty text.
  std::string pin = http::urlDecode(http::queryParam(r.query, "pin"));
  if (!pinMatches(pin)) {
    if (recordFailure(host, now)) {
      core::logEvent(t.alertLog + host);
      sendAutoBanned(c, kBanSeconds);
      return;
    }
    core::logEvent(t.wrongPinLog + host);
    if (admitted.admission == Admission::CheckThroughPause)
      sendAutoPaused(c, admitted.remaining);
    else if (t.plainPages)
      http::sendResponse(c, 401, "Unauthorized", http::kTypeHtml, kPlainInvalidPinPage);
    else
      http::sendHtml(c, 401, http::htmlErrorPage(kPageTitle, "Invalid PIN."));
    return;
  }

  handBackLoginTry(admitted);
  clearFailures(host);
  sendWithSession(c, http::kTypeHtml, t.successPage);
}

void handleRootPage(http::Connection& c, const http::HttpRequest& r) {
  web::sendPage(c, isAuthenticated(r) ? web::fileManagerPage() : web::loginPage());
}

}  // namespace auth
