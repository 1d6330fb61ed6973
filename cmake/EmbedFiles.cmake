# Run as a script at build time:
#   cmake -DOUTPUT=file.cpp -DFILES="101;path;135;path" -P EmbedFiles.cmake
# Writes a C++ file holding every listed file as a byte array of resource
# type 256, looked up by type and identifier through embeddedFiles()
# (Windows builds compile resources/ with windres instead).
set(body "")
set(table "")
set(index 0)
list(LENGTH FILES count)
while(index LESS count)
  list(GET FILES ${index} id)
  math(EXPR next "${index} + 1")
  list(GET FILES ${next} path)
  file(READ "${path}" hex HEX)
  file(SIZE "${path}" size)
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
  string(APPEND body "static const unsigned char file${id}[] = {${bytes} 0};\n")
  string(APPEND table "    {256, ${id}, file${id}, ${size}},\n")
  math(EXPR index "${index} + 2")
endwhile()
# Written every time the rule runs: an output left older than its inputs
# would make the build run the rule again on every build.
file(WRITE "${OUTPUT}"
"// Generated from resources/ at build time; do not edit.\n"
"#include \"platform/linux/EmbeddedFiles.h\"\n\n"
"namespace platform {\n\n${body}\n"
"static const EmbeddedFile kFiles[] = {\n${table}    {0, 0, nullptr, 0},\n};\n\n"
"const EmbeddedFile *embeddedFiles() { return kFiles; }\n\n"
"} // namespace platform\n")

