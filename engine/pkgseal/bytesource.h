#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace Pkgseal {

// Random access to the bytes of a package, from a file or from memory.
class ByteSource
{
public:
    virtual ~ByteSource() = default;

    virtual uint64_t size() const = 0;
    // Reads exactly length bytes at offset; throws FormatError when the source is shorter.
    virtual void readAt(uint64_t offset, uint8_t *buffer, size_t length) const = 0;

    std::vector<uint8_t> readBytes(uint64_t offset, size_t length) const;
};

} // namespace Pkgseal
