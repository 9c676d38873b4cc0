#include "files/tus_state.h"

#include <vector>

#include "sys/file_io.h"
#include "sys/file_write.h"
#include "sys/folders.h"
#include "sys/fs.h"

namespace files {

namespace {

// Set once at start-up before any connection thread, only read afterwards.
std::string stateFolder;

constexpr size_t kMaxStateBytes = 65536;

// Paths may hold any byte but NUL: line ends and the escape itself are escaped.
std::string escapeValue(const std::string& value) {
  std::string out;
  for (char ch : value) {
    if (ch == '%') out += "%25";
    else if (ch == '\n') out += "%0A";
    else if (ch == '\r') out += "%0D";
    else out += ch;
  }
  return out;
}

std::string unescapeValue(const std::string& value) {
  std::string out;
  for (size_t i = 0; i < value.size(); ++i) {
    std::string code = value.substr(i, 3);
    if (code == "%25") out += '%';
    else if (code == "%0A") out += '\n';
    else if (code == "%0D") out += '\r';
    else {
      out += value[i];
      continue;
    }
    i += 2;
  }
  return out;
}

bool parseNumber(const std::string& text, uint64_t& value) {
  if (text.empty() || text.size() > 19 || text.find_first_not_of("0123456789") != std::string::npos) return false;
  value = std::stoull(text);
  return true;
}

std::string field(const std::string& text, const std::string& key, bool& found) {
  std::string prefix = key + "=";
  size_t at = 0;
  while (at < text.size()) {
    size_t end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    if (text.compare(at, prefix.size(), prefix) == 0) {
      found = true;
      return unescapeValue(text.substr(at + prefix.size(), end - at - prefix.size()));
    }
    at = end + 1;
  }
  found = false;
  return {};
}

void loadOne(const std::string& id, const std::string& statePath, uint64_t now) {
  std::string text;
  TusUpload u;
  if (!sys::readSmallFile(statePath, text, kMaxStateBytes) || !decodeTusState(id, text, u)) {
    sys::deleteFile(statePath);
    return;
  }
  sys::FileStatus partial;
  bool present = sys::fileStatus(partialPathOf(u), partial) && !partial.isFolder;
  if (!present || u.expiresAt <= now || partial.size > u.length) {
    discardUploadData(u);
    return;
  }
  u.offset = partial.size;
  restoreUpload(u);
}

}  // namespace

bool isUploadId(const std::string& text) {
  return text.size() == 32 && text.find_first_not_of("0123456789abcdef") == std::string::npos;
}

std::string encodeTusState(const TusUpload& u) {
  std::string out;
  out += "folder=" + escapeValue(u.folder) + "\n";
  out += "name=" + escapeValue(u.name) + "\n";
  out += "length=" + std::to_string(u.length) + "\n";
  out += "expires=" + std::to_string(u.expiresAt) + "\n";
  out += "modified=" + std::to_string(u.modifiedMs) + "\n";
  out += std::string("overwrite=") + (u.overwrite ? "1" : "0") + "\n";
  out += "owner=" + escapeValue(u.owner) + "\n";
  out += "client=" + escapeValue(u.clientHost) + "\n";
  return out;
}

bool decodeTusState(const std::string& id, const std::string& text, TusUpload& u) {
  bool found[8];
  u.id = id;
  u.folder = field(text, "folder", found[0]);
  u.name = field(text, "name", found[1]);
  std::string overwrite = field(text, "overwrite", found[2]);
  u.owner = field(text, "owner", found[3]);
  u.clientHost = field(text, "client", found[4]);
  bool numbers = parseNumber(field(text, "length", found[5]), u.length) &&
                 parseNumber(field(text, "expires", found[6]), u.expiresAt) &&
                 parseNumber(field(text, "modified", found[7]), u.modifiedMs);
  for (bool f : found)
    if (!f) return false;
  u.overwrite = overwrite == "1";
  u.offset = 0;
  return numbers && isUploadId(id) && !u.folder.empty() && !u.name.empty();
}

void loadResumableUploads(const std::string& folder, uint64_t now) {
  stateFolder = folder;
  sys::createDirectories(folder);
  std::vector<sys::FolderEntry> entries;
  sys::listFolder(folder, entries);
  for (const auto& e : entries) {
    if (e.isFolder) continue;
    std::string path = sys::joinPath(folder, e.name);
    if (isUploadId(e.name))
      loadOne(e.name, path, now);
    else
      sys::deleteFile(path);
  }
}

bool saveTusState(const TusUpload& u) {
  if (stateFolder.empty()) return false;
  sys::TempFile f;
  std::string text = encodeTusState(u);
  if (!sys::createTempFile(stateFolder, f)) return false;
  if (!sys::writeTempFile(f, text.data(), text.size())) {
    sys::discardTempFile(f);
    return false;
  }
  return sys::commitTempFile(f, sys::joinPath(stateFolder, u.id));
}

void removeTusState(const std::string& id) {
  if (!stateFolder.empty()) sys::deleteFile(sys::joinPath(stateFolder, id));
}

void discardUploadData(const TusUpload& u) {
  sys::deleteFile(partialPathOf(u));
  removeTusState(u.id);
}

}  // namespace files
