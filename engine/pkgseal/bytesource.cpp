#include "bytesource.h"

#include "sealerror.h"

namespace Pkgseal {

std::vector<uint8_t> ByteSource::readBytes(uint64_t offset, size_t length) const
{
    // Checked first, so that a corrupt length never makes a large allocation.
    if (offset > size() || length > size() - offset)
        throw FormatError("unexpected end of file");
    std::vector<uint8_t> bytes(length);
    readAt(offset, bytes.data(), length);
    return bytes;
}

} // namespace Pkgseal
