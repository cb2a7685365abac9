// Small UTF-8 helpers shared by the readers and the registry.
#pragma once

#include <cstddef>      // size_t
#include <string_view>  // std::string_view

namespace qudim {

/// Decodes the code point starting at text[i] and sets len to its byte
/// length. A malformed or truncated sequence decodes as U+FFFD, length 1,
/// so every byte string can be walked safely.
char32_t decode_utf8(std::string_view text, std::size_t i, std::size_t& len) noexcept;

/// Removes Unicode white space from both ends.
std::string_view trim(std::string_view text) noexcept;

}  // namespace qudim
