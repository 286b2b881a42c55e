# cmake -DINPUT=<strings.tsv> -DOUTPUT=<file.cpp> -P embed_strings.cmake
# Puts the table's bytes into the program unchanged; the program parses them.
file(READ "${INPUT}" hex HEX)
string(LENGTH "${hex}" hexLength)
math(EXPR size "${hexLength} / 2")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
string(REGEX REPLACE "(0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,)" "\\1\n" bytes "${bytes}")
file(WRITE "${OUTPUT}.tmp"
"// Generated from strings.tsv; do not edit.\n#include <cstddef>\nnamespace zv::resources {\nextern const unsigned char kStringTable[] = {\n${bytes}0x00};\nextern const std::size_t kStringTableSize = ${size};\n}\n")
file(COPY_FILE "${OUTPUT}.tmp" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.tmp")
