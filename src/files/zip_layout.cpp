#include "files/zip_layout.h"

namespace files {

namespace {

void put16(std::string& out, uint64_t v) {
  out += (char)(v & 0xFF);
  out += (char)((v >> 8) & 0xFF);
}

void put32(std::string& out, uint64_t v) {
  put16(out, v & 0xFFFF);
  put16(out, (v >> 16) & 0xFFFF);
}

constexpr uint16_t kVersion = 20;
constexpr uint16_t kUtf8Names = 0x0800;

}  // namespace

uint16_t dosDate(int year, int month, int day) {
  int y = year < 1980 ? 0 : year - 1980;
  return (uint16_t)((y << 9) | (month << 5) | day);
}

uint16_t dosTime(int hour, int minute, int second) {
  return (uint16_t)((hour << 11) | (minute << 5) | (second / 2));
}

std::string localHeader(const ZipEntry& e) {
  std::string out;
  out.reserve(kLocalHeaderBytes + e.name.size());
  put32(out, 0x04034B50);
  put16(out, kVersion);
  put16(out, kUtf8Names);
  put16(out, 0);  // stored
  put16(out, e.dosTime);
  put16(out, e.dosDate);
  put32(out, e.crc);
  put32(out, e.size);
  put32(out, e.size);
  put16(out, e.name.size());
  put16(out, 0);
  out += e.name;
  return out;
}

std::string centralHeader(const ZipEntry& e) {
  std::string out;
  out.reserve(kCentralHeaderBytes + e.name.size());
  put32(out, 0x02014B50);
  put16(out, kVersion);  // made by: host byte 0
  put16(out, kVersion);
  put16(out, kUtf8Names);
  put16(out, 0);
  put16(out, e.dosTime);
  put16(out, e.dosDate);
  put32(out, e.crc);
  put32(out, e.size);
  put32(out, e.size);
  put16(out, e.name.size());
  put16(out, 0);  // extra field
  put16(out, 0);  // comment
  put16(out, 0);  // disk number start
  put16(out, 0);  // internal attributes
  put32(out, 0);  // external attributes
  put32(out, e.offset);
  out += e.name;
  return out;
}

std::string endRecord(uint64_t entryCount, uint64_t centralSize, uint64_t centralOffset) {
  std::string out;
  out.reserve(kEndRecordBytes);
  put32(out, 0x06054B50);
  put16(out, 0);
  put16(out, 0);
  put16(out, entryCount & 0xFFFF);
  put16(out, entryCount & 0xFFFF);
  put32(out, centralSize);
  put32(out, centralOffset);
  put16(out, 0);
  return out;
}

ZipLayout layoutZip(std::vector<ZipEntry>& entries) {
  ZipLayout z;
  uint64_t at = 0;
  for (ZipEntry& e : entries) {
    e.offset = at;
    at += kLocalHeaderBytes + e.name.size() + e.size;
    z.centralSize += kCentralHeaderBytes + e.name.size();
  }
  z.centralOffset = at;
  z.total = at + z.centralSize + kEndRecordBytes;
  return z;
}

bool checkZipSizes(const std::vector<uint64_t>& sizes, uint64_t& total, std::string& error) {
  total = 0;
  for (uint64_t size : sizes) {
    if (size > kZipLimit) {
      error = "A selected file is larger than the ZIP limit (4 GB).";
      return false;
    }
    if (total > kZipLimit - size) {
      error = "Selected files exceed the ZIP limit (4 GB).";
      return false;
    }
    total += size;
  }
  if (total >= kZipLimit) {
    error = "Selected files exceed the ZIP limit (4 GB).";
    return false;
  }
  return true;
}

bool checkZipEntries(const std::vector<ZipEntry>& entries, std::string& error) {
  if (entries.size() > kMaxZipEntries) {
    error = "Too many files for one ZIP (65535 at most). Please reduce selection.";
    return false;
  }
  for (const ZipEntry& e : entries) {
    if (e.name.size() > kMaxZipNameBytes) {
      error = "A file name is too long for a ZIP archive.";
      return false;
    }
  }
  return true;
}

}  // namespace files
