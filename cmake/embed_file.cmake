# embed_file(FILE SYMBOL OUT_VAR): makes a source file holding the bytes of FILE as
#   extern const unsigned char SYMBOL[];  extern const size_t SYMBOL_size;
# at configure time (reconfigured when FILE changes) and sets OUT_VAR to its path, for programs
# that carry data (a font, an archive) in themselves.
function(embed_file file symbol out_var)
  file(READ ${file} hex HEX)
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
  file(RELATIVE_PATH shown ${PROJECT_SOURCE_DIR} ${file})
  set(out ${CMAKE_CURRENT_BINARY_DIR}/${symbol}.cpp)
  file(WRITE ${out}.in
    "// Generated from ${shown}.\n#include <cstddef>\nextern const unsigned char ${symbol}[] = {${bytes}};\nextern const size_t ${symbol}_size = sizeof ${symbol};\n")
  configure_file(${out}.in ${out} COPYONLY)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${file})
  set(${out_var} ${out} PARENT_SCOPE)
endfunction()
