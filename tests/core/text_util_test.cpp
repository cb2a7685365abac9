// Unicode white-space trimming and tolerant UTF-8 decoding.
#include "text_util.hpp"

#include <gtest/gtest.h>

#include <string>
#include <utility>

namespace qudim {
namespace {

TEST(Trim, UnicodeSpaceBothEnds) {
  const std::pair<std::string, std::string> cases[] = {
      {"   ", ""},
      {" \t\r\n m \n", "m"},
      {"\u00A0km\u2003a b\u2029", "km\u2003a b"},
      {"\u2000m\u200A", "m"},  // both ends of the U+2000 block
      {"\u00B5s", "\u00B5s"},  // µ is not white space
      {"x\xC2", "x\xC2"},      // truncated sequence kept, no crash
      {"\xA0 y", "\xA0 y"},    // stray continuation byte is not space
  };
  for (const auto& [in, out] : cases) EXPECT_EQ(trim(in), out) << in;
}

TEST(DecodeUtf8, MalformedInputIsReplacementOfOneByte) {
  const struct {
    std::string in;
    char32_t cp;
    std::size_t len;
  } cases[] = {
      {"a", U'a', 1},
      {"\u03C0", U'\u03C0', 2},
      {"\u2028", U'\u2028', 3},
      {"\U0001F600", U'\U0001F600', 4},
      {"\xC0\x80", 0xFFFD, 1},      // overlong
      {"\xED\xA0\x80", 0xFFFD, 1},  // surrogate
      {"\xE2\x82", 0xFFFD, 1},      // truncated
      {"\xFF", 0xFFFD, 1},
  };
  for (const auto& c : cases) {
    std::size_t len = 0;
    EXPECT_EQ(decode_utf8(c.in, 0, len), c.cp);
    EXPECT_EQ(len, c.len);
  }
}

}  // namespace
}  // namespace qudim
