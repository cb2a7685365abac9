// UTF-8 decoding and Unicode white-space trimming.
#include "text_util.hpp"

namespace qudim {

char32_t decode_utf8(std::string_view text, std::size_t i, std::size_t& len) noexcept {
  const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
  const unsigned char b0 = byte(i);
  len = 1;
  if (b0 < 0x80) return b0;
  std::size_t need;
  char32_t cp;
  char32_t min;
  if ((b0 & 0xE0) == 0xC0) {
    need = 1;
    cp = b0 & 0x1F;
    min = 0x80;
  } else if ((b0 & 0xF0) == 0xE0) {
    need = 2;
    cp = b0 & 0x0F;
    min = 0x800;
  } else if ((b0 & 0xF8) == 0xF0) {
    need = 3;
    cp = b0 & 0x07;
    min = 0x10000;
  } else {
    return 0xFFFD;
  }
  if (i + need >= text.size()) return 0xFFFD;
  for (std::size_t k = 1; k <= need; ++k) {
    const unsigned char b = byte(i + k);
    if ((b & 0xC0) != 0x80) return 0xFFFD;
    cp = (cp << 6) | (b & 0x3F);
  }
  if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0xFFFD;
  len = need + 1;
  return cp;
}

namespace {

/// True for the code points Unicode calls White_Space.
bool is_unicode_space(char32_t c) noexcept {
  if ((c >= 0x09 && c <= 0x0D) || (c >= 0x2000 && c <= 0x200A)) return true;
  return c == 0x20 || c == 0x85 || c == 0xA0 || c == 0x1680 || c == 0x2028 || c == 0x2029 ||
         c == 0x202F || c == 0x205F || c == 0x3000;
}

/// Byte length of a white-space code point ending at text[end-1], or 0.
std::size_t trailing_space_len(std::string_view text, std::size_t end) noexcept {
  // Walk back to the start of the last code point (at most 4 bytes).
  std::size_t start = end - 1;
  for (int k = 0; k < 3 && start > 0 && (static_cast<unsigned char>(text[start]) & 0xC0) == 0x80;
       ++k) {
    --start;
  }
  std::size_t len = 0;
  const char32_t c = decode_utf8(text, start, len);
  if (start + len != end) return 0;
  return is_unicode_space(c) ? len : 0;
}

}  // namespace

std::string_view trim(std::string_view text) noexcept {
  // Nearly every text starts and ends with a visible ASCII character, and
  // then there is nothing to decode.
  if (!text.empty()) {
    const auto first = static_cast<unsigned char>(text.front());
    const auto last = static_cast<unsigned char>(text.back());
    if (first > 0x20 && first < 0x80 && last > 0x20 && last < 0x80) return text;
  }
  std::size_t b = 0;
  while (b < text.size()) {
    std::size_t len = 0;
    const char32_t c = decode_utf8(text, b, len);
    if (!is_unicode_space(c)) break;
    b += len;
  }
  std::size_t e = text.size();
  while (e > b) {
    const std::size_t len = trailing_space_len(text, e);
    if (len == 0) break;
    e -= len;
  }
  return text.substr(b, e - b);
}

}  // namespace qudim
