# Turns a file into a C++ source that holds its bytes as an array, untouched
# by the literal conversion of the compiler:
#   cmake -DIN=file -DOUT=source.cpp -DNAME=symbol -P embed.cmake
# gives `extern const unsigned char NAME[]` and `extern const int32_t NAMElen`.
file(READ "${IN}" hex HEX)
string(LENGTH "${hex}" digits)
math(EXPR len "${digits} / 2")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
string(REGEX REPLACE "((0x[0-9a-f][0-9a-f],){16})" "\\1\n" bytes "${bytes}")
file(WRITE "${OUT}.tmp"
  "// Made from ${IN} at build time: do not edit.\n#include <cstdint>\n\n"
  "extern const unsigned char ${NAME}[];\nextern const int32_t ${NAME}len;\n"
  "const unsigned char ${NAME}[] = {\n${bytes}0};\nconst int32_t ${NAME}len = ${len};\n")
# Replaced only when the bytes changed: nothing is rebuilt for nothing.
configure_file("${OUT}.tmp" "${OUT}" COPYONLY)
file(REMOVE "${OUT}.tmp")
