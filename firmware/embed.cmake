# Turns one firmware file into a C++ source with a constant array.
# cmake -DINPUT=<file> -DOUTPUT=<cpp> -DNAME=<array> -DSIZE=<bytes> -P embed.cmake
file(SIZE "${INPUT}" actual)
if(NOT actual EQUAL SIZE)
  message(FATAL_ERROR "${INPUT} holds ${actual} bytes; ${NAME} must be exactly ${SIZE}")
endif()
file(READ "${INPUT}" hex HEX)
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," body "${hex}")
string(REGEX REPLACE "((0x..,){16})" "\\1\n" body "${body}")
file(WRITE "${OUTPUT}.tmp"
  "// Generated from ${INPUT}; do not edit.\n"
  "#include \"firmware/firmware_images.h\"\n"
  "namespace tarvik {\nconst std::uint8_t ${NAME}[${SIZE}] = {\n${body}\n};\n}\n")
file(COPY_FILE "${OUTPUT}.tmp" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.tmp")
