// The CRCs of files the ZIP download has read, by path and file version, so
// that a selection fetched again (a retry, the same photos for another
// phone) is read once, by the send, instead of twice. A CRC is only ever
// given for the version it was computed on, and the send checks the version
// again, so a changed file is read anew. Bounded: the oldest are forgotten.
#pragma once
#include <cstdint>
#include <string>

#include "sys/fs.h"

namespace files {

constexpr size_t kCrcCacheEntries = 16384;

bool knownCrc(const std::string& path, const sys::FileVersion& version, uint32_t& crc);
void rememberCrc(const std::string& path, const sys::FileVersion& version, uint32_t crc);

}  // namespace files
