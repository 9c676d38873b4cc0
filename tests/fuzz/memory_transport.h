// The fuzz targets' transport: readSome hands out a byte string in the
// pieces a plan names (see nextPiece), then reports the end of the stream.
#pragma once
#include <string>

#include "fuzz_support.h"

namespace fuzz {

void setMemoryStream(const std::string& bytes, const std::string& plan);

}  // namespace fuzz
