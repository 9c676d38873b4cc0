// The ZIP archive the selection download sends: stored (uncompressed)
// entries, classic 32-bit records, UTF-8 names, no extra fields. Pure
// functions over sizes and CRCs, so the exact archive length is known
// before any byte of it is sent.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace files {

constexpr uint64_t kZipLimit = 4294967296ull;  // 2^32: the 32-bit fields' reach
constexpr uint64_t kLocalHeaderBytes = 30;
constexpr uint64_t kCentralHeaderBytes = 46;
constexpr uint64_t kEndRecordBytes = 22;
constexpr uint64_t kMaxZipEntries = 65535;
constexpr uint64_t kMaxZipNameBytes = 65535;

struct ZipEntry {
  std::string name;     // UTF-8 name inside the archive
  uint32_t crc = 0;
  uint64_t size = 0;    // stored = uncompressed; written as its low 32 bits
  uint64_t offset = 0;  // of the local header; written as its low 32 bits
  uint16_t dosDate = 0;
  uint16_t dosTime = 0;
};

// Years before 1980 count as 1980; later than 2107 they wrap.
uint16_t dosDate(int year, int month, int day);
uint16_t dosTime(int hour, int minute, int second);

std::string localHeader(const ZipEntry& e);    // 30 bytes, then the name
std::string centralHeader(const ZipEntry& e);  // 46 bytes, then the name
std::string endRecord(uint64_t entryCount, uint64_t centralSize, uint64_t centralOffset);

struct ZipLayout {
  uint64_t centralOffset = 0;
  uint64_t centralSize = 0;
  uint64_t total = 0;  // bytes of the whole archive
};

// Gives every entry its local header offset, in order, and returns where
// the central directory lies and how long the archive is.
ZipLayout layoutZip(std::vector<ZipEntry>& entries);

// The size limits of a selection, over the sizes of its files: true with
// the sum, or false with the message that refuses it.
bool checkZipSizes(const std::vector<uint64_t>& sizes, uint64_t& total, std::string& error);

// What the 16-bit fields hold: every entry name must fit them, and so must
// the entry count. False with the message that refuses the selection.
bool checkZipEntries(const std::vector<ZipEntry>& entries, std::string& error);

}  // namespace files
