// The process-wide event log: the last 500 time-stamped lines in memory and,
// when a log file is set, every line appended to that file.
#pragma once
#include <cstdint>
#include <string>

#include "core/log_file.h"

namespace core {

constexpr size_t kLogCapacity = 500;
// Client-given names and paths come last in their lines, so this cut is
// where they are cut; it leaves room for the tag and a long web root.
constexpr size_t kLogMessageMaxChars = 400;

// Appends "YYYY-MM-DD hh:mm:ss.mmm  " + message, the message made safe by
// logSafeText, as every line may carry what a client sent. Callable from
// any thread.
void logEvent(const std::string& message);
// Empties the list and deletes the log files.
void clearLog();
// All entries, each followed by CR LF.
std::string snapshotLog();
size_t logEntryCount();

// The file every entry is also appended to (UTF-8, CR LF); empty for none.
// It is moved aside once it would grow past rotateAt bytes.
void setLogFilePath(const std::string& path, uint64_t rotateAt = kLogFileRotateBytes);

// Called after each new entry with its complete line, on the logging thread.
// The front end registers it (console printing, a posted window message).
using LogAppendedHook = void (*)(const std::string& line);
void setLogAppendedHook(LogAppendedHook hook);

// "2026-03-01 14:05:09.042" for the given calendar time.
std::string formatLogStamp(int year, int month, int day, int hour, int minute, int second, int millisecond);

}  // namespace core
