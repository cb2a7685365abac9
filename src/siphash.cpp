// SipHash (Aumasson and Bernstein), parameterised by round counts.
#include "siphash.hpp"

#include <cstring>  // std::memcpy

namespace qudim {

namespace detail {

namespace {

constexpr std::uint64_t rotl(std::uint64_t x, int b) { return (x << b) | (x >> (64 - b)); }

struct SipState {
  std::uint64_t v0, v1, v2, v3;

  void round() {
    v0 += v1;
    v1 = rotl(v1, 13);
    v1 ^= v0;
    v0 = rotl(v0, 32);
    v2 += v3;
    v3 = rotl(v3, 16);
    v3 ^= v2;
    v0 += v3;
    v3 = rotl(v3, 21);
    v3 ^= v0;
    v2 += v1;
    v1 = rotl(v1, 17);
    v1 ^= v2;
    v2 = rotl(v2, 32);
  }

  void compress(std::uint64_t m, int rounds) {
    v3 ^= m;
    for (int i = 0; i < rounds; ++i) round();
    v0 ^= m;
  }
};

/// Reads 8 bytes as a little-endian word, whatever the host's byte order.
std::uint64_t load_le64(const unsigned char* p) {
  std::uint64_t w = 0;
  for (int i = 7; i >= 0; --i) w = (w << 8) | p[i];
  return w;
}

}  // namespace

std::uint64_t siphash(int c_rounds, int d_rounds, std::uint64_t k0, std::uint64_t k1,
                      const void* data, std::size_t len) {
  SipState s{k0 ^ 0x736f6d6570736575ULL, k1 ^ 0x646f72616e646f6dULL, k0 ^ 0x6c7967656e657261ULL,
             k1 ^ 0x7465646279746573ULL};
  const auto* p = static_cast<const unsigned char*>(data);
  const std::size_t full = len - len % 8;
  for (std::size_t i = 0; i < full; i += 8) s.compress(load_le64(p + i), c_rounds);

  // The last block holds the remaining bytes and the length's low byte on top.
  unsigned char tail[8] = {};
  if (len % 8 != 0) std::memcpy(tail, p + full, len % 8);
  tail[7] = static_cast<unsigned char>(len & 0xFF);
  s.compress(load_le64(tail), c_rounds);

  s.v2 ^= 0xFF;
  for (int i = 0; i < d_rounds; ++i) s.round();
  return s.v0 ^ s.v1 ^ s.v2 ^ s.v3;
}

}  // namespace detail

std::uint64_t siphash13(const void* data, std::size_t len) {
  return detail::siphash(1, 3, 0, 0, data, len);
}

}  // namespace qudim
