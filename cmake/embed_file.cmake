# Turns one file into a C++ source holding its bytes, so a page ships inside
# the program exactly as it is on disk.
# Run as: cmake -DINPUT=<file> -DOUTPUT=<file.cpp> -DSYMBOL=<name> -P embed_file.cmake
# The source defines, in namespace web::embedded,
#   extern const unsigned char <SYMBOL>[];   the bytes, plus a terminating 0
#   extern const std::size_t <SYMBOL>Size;   the byte count without that 0
foreach(v INPUT OUTPUT SYMBOL)
  if(NOT DEFINED ${v})
    message(FATAL_ERROR "embed_file.cmake needs -D${v}=...")
  endif()
endforeach()

file(READ "${INPUT}" hex HEX)
string(LENGTH "${hex}" digits)
math(EXPR size "${digits} / 2")
# Sixteen bytes a line keeps the generated file readable in a diff viewer.
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
string(REGEX REPLACE "((0x[0-9a-f][0-9a-f],){16})" "\\1\n" bytes "${bytes}")

file(WRITE "${OUTPUT}"
"// Generated from ${INPUT} by cmake/embed_file.cmake.
#include <cstddef>
namespace web::embedded {
extern const unsigned char ${SYMBOL}[];
extern const std::size_t ${SYMBOL}Size;
const unsigned char ${SYMBOL}[] = {
${bytes}0x00};
const std::size_t ${SYMBOL}Size = ${size};
}  // namespace web::embedded
")
