// Moving a complete resumable upload into place.
#pragma once
#include <string>

#include "files/tus_table.h"

namespace files {

// Gives the partial file its modification time and moves it to the upload's
// name in one step: over a file of that name when overwrite is set,
// otherwise under the first free "name (n).ext". The stored name, or empty
// when it could not be placed (the partial file then stays).
std::string placeUpload(const TusUpload& u);

}  // namespace files
