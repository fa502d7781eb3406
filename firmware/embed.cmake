# Turns one firmware image into a C++ source with a constant array and the
# image's SHA-256, recorded here from the same file.
# cmake -DINPUT=<file> -DOUTPUT=<cpp> -DNAME=<array> -DSIZE=<bytes> -P embed.cmake
file(SIZE "${INPUT}" actual)
if(NOT actual EQUAL SIZE)
  message(FATAL_ERROR "${INPUT} holds ${actual} bytes; ${NAME} must be exactly ${SIZE}")
endif()
file(READ "${INPUT}" hex HEX)
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," body "${hex}")
string(REGEX REPLACE "((0x..,){16})" "\\1\n" body "${body}")
file(SHA256 "${INPUT}" sha256)
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," digest "${sha256}")
file(WRITE "${OUTPUT}.tmp"
  "// Generated from ${INPUT}; do not edit.\n"
  "#include \"firmware/firmware_images.h\"\n"
  "namespace tarvik {\nconst std::uint8_t ${NAME}[${SIZE}] = {\n${body}\n};\n"
  "// SHA-256 ${sha256}\n"
  "const Sha256Digest ${NAME}Sha256 = {${digest}};\n}\n")
file(COPY_FILE "${OUTPUT}.tmp" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.tmp")
