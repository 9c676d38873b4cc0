// Uploads that have just been completed, remembered for a while. A phone
// that loses the answer to its last PATCH asks again with HEAD; it must learn
// that the file arrived (and under which name) instead of starting over and
// storing it twice.
#pragma once
#include <cstdint>
#include <string>

namespace files {

constexpr uint64_t kFinishedMemorySeconds = 86400;
constexpr size_t kMaxFinishedRemembered = 4096;

struct FinishedUpload {
  std::string id;
  std::string owner;       // as TusUpload::owner
  std::string storedName;  // the name the file was placed under
  uint64_t length = 0;
  uint64_t finishedAt = 0;  // seconds since 1970
};

// Remembers f; the oldest is forgotten beyond kMaxFinishedRemembered.
void rememberFinished(const FinishedUpload& f);
// The finished upload id of owner, unless forgotten or older than
// kFinishedMemorySeconds at now.
bool findFinished(const std::string& id, const std::string& owner, uint64_t now, FinishedUpload& out);
// Forgets it (a DELETE of an upload that is done: the file stays).
bool forgetFinished(const std::string& id, const std::string& owner);
void clearFinished();

}  // namespace files
