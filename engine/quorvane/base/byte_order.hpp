// Numbers stored as bytes in a given order (least significant first for
// little-endian), read from any alignment whatever the host's order.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>

namespace quorvane {

inline uint32_t load_u32(const unsigned char* p, bool little_endian = true) {
  uint32_t raw;
  std::memcpy(&raw, p, sizeof raw);
  if (little_endian != (std::endian::native == std::endian::little)) raw = __builtin_bswap32(raw);
  return raw;
}

inline uint64_t load_u64(const unsigned char* p, bool little_endian = true) {
  uint64_t raw;
  std::memcpy(&raw, p, sizeof raw);
  if (little_endian != (std::endian::native == std::endian::little)) raw = __builtin_bswap64(raw);
  return raw;
}

inline int32_t load_i32(const unsigned char* p, bool little_endian = true) {
  return static_cast<int32_t>(load_u32(p, little_endian));
}

inline double load_f64(const unsigned char* p, bool little_endian = true) {
  return std::bit_cast<double>(load_u64(p, little_endian));
}

}  // namespace quorvane
