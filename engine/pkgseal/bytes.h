#pragma once

#include <cstdint>
#include <vector>

namespace Pkgseal {

inline uint32_t readBigEndian32(const uint8_t *bytes)
{
    return uint32_t(bytes[0]) << 24 | uint32_t(bytes[1]) << 16 | uint32_t(bytes[2]) << 8
           | uint32_t(bytes[3]);
}

inline void appendBigEndian32(std::vector<uint8_t> &bytes, uint32_t value)
{
    bytes.push_back(uint8_t(value >> 24));
    bytes.push_back(uint8_t(value >> 16));
    bytes.push_back(uint8_t(value >> 8));
    bytes.push_back(uint8_t(value));
}

} // namespace Pkgseal
