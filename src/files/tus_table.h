// The resumable uploads in progress: one process-wide table behind its own
// mutex. At most one request writes to an upload at a time; a newer request
// for the same upload takes over from a writer that is still at it (a
// client's dead connection the server has not noticed yet) instead of
// waiting out its read time-out.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace files {

constexpr uint64_t kTusLifetimeSeconds = 86400;  // after the last PATCH
constexpr size_t kMaxUploadsPerClient = 1000;

struct TusUpload {
  std::string id;           // 32 hex digits
  std::string folder;       // full path of the destination folder
  std::string name;         // the file name asked for
  uint64_t length = 0;      // Upload-Length
  uint64_t offset = 0;      // bytes stored so far
  uint64_t expiresAt = 0;   // seconds since 1970
  uint64_t modifiedMs = 0;  // lastModified, 0 when none was given
  bool overwrite = false;
  std::string owner;       // "" behind a session, else the share token's hash
  std::string clientHost;  // who created it, for the per-client cap
};

// The partial file's path, beside the destination.
std::string partialPathOf(const TusUpload& u);

enum class Added { Yes, TooMany };
// Adds the upload unless its client already has kMaxUploadsPerClient.
Added addUpload(const TusUpload& u);
// Puts back an upload read at start-up; no cap applies.
void restoreUpload(const TusUpload& u);
// Removes and returns the uploads expired at now that nobody writes to.
std::vector<TusUpload> takeExpiredUploads(uint64_t now);
// Empties the table (tests).
void clearUploads();

// A claim on an upload: the right to read and change it alone.
struct TusClaim {
  std::string id;
  uint64_t generation = 0;  // 0: no claim
};

enum class Claimed { Yes, NotFound, Busy };
// Finds the live upload id of owner and claims it, copying it to u. A
// request holding a claim is told to stop (stillClaimed turns false) and is
// waited for at most waitMs.
Claimed claimUpload(const std::string& id, const std::string& owner, uint64_t now, int waitMs, TusClaim& claim,
                    TusUpload& u);
// False once a newer request has asked for the upload.
bool stillClaimed(const TusClaim& claim);
// Records the new offset and expiry and lets the next request in.
void releaseUpload(TusClaim& claim, uint64_t offset, uint64_t expiresAt);
// Removes the claimed upload from the table (finished or terminated).
void dropUpload(TusClaim& claim);

}  // namespace files
