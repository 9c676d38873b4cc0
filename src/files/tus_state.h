// Each resumable upload's state as a small file in the state folder
// (base/uploads/<id>), replaced whole on each change, so uploads outlive a
// restart. How much has arrived is the partial file's size, never stored.
#pragma once
#include <cstdint>
#include <string>

#include "files/tus_table.h"

namespace files {

// Whether text has the form of an upload id: 32 lower-case hex digits.
bool isUploadId(const std::string& text);

std::string encodeTusState(const TusUpload& u);
// The upload of that id from its state text; false when a field is missing
// or malformed.
bool decodeTusState(const std::string& id, const std::string& text, TusUpload& u);

// Start-up, before the server runs: takes the state folder (made when
// missing) and puts every upload found there back into the table, each with
// the size of its partial file as its offset. Expired uploads, ones whose
// data is gone and leftovers of interrupted saves are removed.
void loadResumableUploads(const std::string& stateFolder, uint64_t now);

// Writes the upload's state; does nothing before loadResumableUploads ran.
bool saveTusState(const TusUpload& u);
void removeTusState(const std::string& id);
// The partial file and the state of an upload that ends unfinished.
void discardUploadData(const TusUpload& u);

}  // namespace files
