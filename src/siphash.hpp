// SipHash-1-3 with zero keys: the 64-bit digest behind the hashes of
// quantities and units.
#pragma once

#include <cstddef>  // size_t
#include <cstdint>  // uint64_t

namespace qudim {

/// SipHash-1-3 of len bytes at data, both 64-bit keys zero.
std::uint64_t siphash13(const void* data, std::size_t len);

namespace detail {
/// SipHash-c-d with the given keys (c compression, d finalization rounds).
std::uint64_t siphash(int c_rounds, int d_rounds, std::uint64_t k0, std::uint64_t k1,
                      const void* data, std::size_t len);
}  // namespace detail

}  // namespace qudim
