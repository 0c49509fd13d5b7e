# Writes OUTPUT, a C++ source that holds the bytes of INPUT and registers them
# before main as resource ID of type TYPE.
#   cmake -DINPUT=file -DOUTPUT=file.cpp -DTYPE=PROFILE -DID=148 -P EmbedResource.cmake
file(READ "${INPUT}" hex HEX)
string(LENGTH "${hex}" hexLength)
math(EXPR size "${hexLength} / 2")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
string(REGEX REPLACE "((0x[0-9a-f][0-9a-f],){16})" "\\1\n" bytes "${bytes}")
file(WRITE "${OUTPUT}" "// Made at build time from ${INPUT}.
#include \"platform/resource/Resource.h\"

namespace {

const BYTE resourceBytes[${size}] = {
${bytes}
};

const bool registered = (RegisterResource(u\"${TYPE}\", ${ID}, resourceBytes, ${size}), true);

} // namespace
")
