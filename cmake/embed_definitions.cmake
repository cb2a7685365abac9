# Writes OUT: a C++ file holding the texts MAIN and CONSTANTS as string constants.
# Raw string literals keep the bytes exactly; the texts are split into chunks
# because compilers limit the length of one literal.
function(qudim_literal path out_var)
  file(READ ${path} content)
  string(LENGTH "${content}" len)
  set(result "")
  set(pos 0)
  while(pos LESS len)
    # Cut after a line end so that no multi-byte character is split.
    string(SUBSTRING "${content}" ${pos} 8000 chunk)
    string(LENGTH "${chunk}" chunk_len)
    math(EXPR end "${pos} + ${chunk_len}")
    if(end LESS len)
      string(FIND "${chunk}" "\n" cut REVERSE)
      if(cut GREATER_EQUAL 0)
        math(EXPR chunk_len "${cut} + 1")
        string(SUBSTRING "${content}" ${pos} ${chunk_len} chunk)
      endif()
    endif()
    string(APPEND result "R\"QUDIMDEFS(${chunk})QUDIMDEFS\"\n")
    math(EXPR pos "${pos} + ${chunk_len}")
  endwhile()
  if(result STREQUAL "")
    set(result "\"\"")
  endif()
  set(${out_var} "${result}" PARENT_SCOPE)
endfunction()

qudim_literal(${MAIN} main_text)
qudim_literal(${CONSTANTS} constants_text)
file(WRITE ${OUT}.tmp
"// Generated from src/definitions at build time. Do not edit.
#include \"registry/embedded_definitions.hpp\"

namespace qudim {
const std::string_view kDefaultDefinitions =
${main_text};
const std::string_view kConstantsDefinitions =
${constants_text};
}  // namespace qudim
")
file(COPY_FILE ${OUT}.tmp ${OUT} ONLY_IF_DIFFERENT)
