#include "core/event_log.h"

#include <atomic>
#include <cstdio>
#include <deque>
#include <mutex>

#include "core/log_text.h"
#include "sys/clock.h"

namespace core {

namespace {
std::mutex logMutex;
// Appends to the file are serialised on their own lock, so concurrent lines
// never interleave or overwrite each other on any file system.
std::mutex fileMutex;
std::deque<std::string> logEntries;  // oldest first, at most kLogCapacity
std::string logFilePath;             // guarded by logMutex
uint64_t logFileRotateAt = kLogFileRotateBytes;  // guarded by logMutex
std::atomic<LogAppendedHook> appendedHook{nullptr};
}  // namespace

std::string formatLogStamp(int year, int month, int day, int hour, int minute, int second, int millisecond) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d.%03d", year, month, day, hour, minute, second,
                millisecond);
  return buf;
}

void logEvent(const std::string& message) {
  sys::CalendarTime t = sys::localNow();
  std::string line = formatLogStamp(t.year, t.month, t.day, t.hour, t.minute, t.second, t.millisecond);
  line += "  ";
  line += logSafeText(message, kLogMessageMaxChars);

  std::string file;
  uint64_t rotateAt;
  {
    std::lock_guard<std::mutex> lock(logMutex);
    file = logFilePath;
    rotateAt = logFileRotateAt;
  }
  // The file append runs outside the list's lock; a failed write is skipped.
  if (!file.empty()) {
    std::lock_guard<std::mutex> lock(fileMutex);
    appendToLogFile(file, line + "\r\n", rotateAt);
  }

  {
    std::lock_guard<std::mutex> lock(logMutex);
    logEntries.push_back(line);
    while (logEntries.size() > kLogCapacity) logEntries.pop_front();
  }
  if (LogAppendedHook hook = appendedHook.load()) hook(line);
}

void clearLog() {
  std::string file;
  {
    std::lock_guard<std::mutex> lock(logMutex);
    logEntries.clear();
    file = logFilePath;
  }
  if (!file.empty()) {
    std::lock_guard<std::mutex> lock(fileMutex);
    deleteLogFiles(file);
  }
}

std::string snapshotLog() {
  std::lock_guard<std::mutex> lock(logMutex);
  std::string out;
  for (const std::string& e : logEntries) {
    out += e;
    out += "\r\n";
  }
  return out;
}

size_t logEntryCount() {
  std::lock_guard<std::mutex> lock(logMutex);
  return logEntries.size();
}

void setLogFilePath(const std::string& path, uint64_t rotateAt) {
  std::lock_guard<std::mutex> lock(logMutex);
  logFilePath = path;
  logFileRotateAt = rotateAt;
}

void setLogAppendedHook(LogAppendedHook hook) { appendedHook.store(hook); }

}  // namespace core
