# Writes a C++ source holding the bytes of one file.
#   cmake -DINPUT=<file> -DOUTPUT=<source> -DSYMBOL=<Name> -P EmbedFile.cmake
# defines embedded::k<Name>Data (the bytes) and embedded::k<Name>Size (their number).

file(READ "${INPUT}" hex HEX)
string(LENGTH "${hex}" digits)
math(EXPR size "${digits} / 2")

if(size EQUAL 0)
  # An array cannot be empty; the size still says 0.
  set(bytes "0x00,")
else()
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
  string(REPEAT "0x[0-9a-f][0-9a-f]," 16 line)
  string(REGEX REPLACE "(${line})" "\\1\n    " bytes "${bytes}")
endif()

get_filename_component(name "${INPUT}" NAME)
file(WRITE "${OUTPUT}.tmp"
  "// Generated from ${name} at build time; edit the file, not this source.\n"
  "#include <cstddef>\n\n"
  "namespace embedded {\n\n"
  "extern const unsigned char k${SYMBOL}Data[] = {\n    ${bytes}\n};\n"
  "extern const std::size_t k${SYMBOL}Size = ${size};\n\n"
  "}  // namespace embedded\n")
# Replaced only when different, so an unchanged file does not recompile the library.
file(COPY_FILE "${OUTPUT}.tmp" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.tmp")
