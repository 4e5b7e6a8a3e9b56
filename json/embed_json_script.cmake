# cmake -DINPUT=json.js -DOUTPUT=out.cpp -P embed_json_script.cmake
#
cmake_minimum_required(VERSION 3.25)

# Writes a C++ source holding json.js from its first line of code on (the leading comment blocks
# and blank lines are dropped), with CR LF line ends and no line break after the last line.
file(READ "${INPUT}" text)
string(REPLACE "\r\n" "\n" text "${text}")

# Skip the leading blank lines, // lines and /* ... */ blocks.
set(rest "${text}")
while(TRUE)
    string(STRIP "${rest}" rest)
    if(rest MATCHES "^/\\*")
        string(FIND "${rest}" "*/" close)
        if(close EQUAL -1)
            message(FATAL_ERROR "${INPUT}: unterminated comment")
        endif()
        math(EXPR close "${close} + 2")
        string(SUBSTRING "${rest}" ${close} -1 rest)
    elseif(rest MATCHES "^//")
        string(FIND "${rest}" "\n" close)
        if(close EQUAL -1)
            set(rest "")
        else()
            string(SUBSTRING "${rest}" ${close} -1 rest)
        endif()
    else()
        break()
    endif()
endwhile()
if(rest STREQUAL "")
    message(FATAL_ERROR "${INPUT}: no code found")
endif()

string(REGEX REPLACE "[ \t\n]+$" "" rest "${rest}")
string(REPLACE "\n" "\r\n" rest "${rest}")

# Bytes, not a string literal: the compiler must not see or touch the line ends.
file(WRITE "${OUTPUT}.tmp" "${rest}")
file(READ "${OUTPUT}.tmp" hex HEX)
file(REMOVE "${OUTPUT}.tmp")
string(LENGTH "${hex}" hex_length)
math(EXPR size "${hex_length} / 2")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
string(REGEX REPLACE "((0x[0-9a-f][0-9a-f],){24})" "\\1\n" bytes "${bytes}")

file(WRITE "${OUTPUT}.new"
"// Generated from ${INPUT}; do not edit.
#include <cstddef>

namespace quill {
extern const unsigned char kJsonScriptBytes[] = {
${bytes}
};
extern const std::size_t kJsonScriptSize = ${size};
}  // namespace quill
")
file(COPY_FILE "${OUTPUT}.new" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.new")
