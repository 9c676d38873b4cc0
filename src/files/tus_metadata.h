// The Upload-Metadata header of a resumable upload's creation: comma-separated
// pairs of a key and its value in base64, the value optional.
#pragma once
#include <string>
#include <utility>
#include <vector>

namespace files {

using TusMetadata = std::vector<std::pair<std::string, std::string>>;

// Decodes standard base64, padding optional; false on any other character
// or a length no encoder produces.
bool decodeBase64(const std::string& text, std::string& bytes);
// False when a pair has no key, a key repeats or a value is not base64.
bool parseUploadMetadata(const std::string& header, TusMetadata& out);
// The value of key; false when the key is absent.
bool metadataValue(const TusMetadata& metadata, const std::string& key, std::string& value);

}  // namespace files
