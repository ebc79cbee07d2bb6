#include "memorysource.h"

#include "sealerror.h"

#include <cstring>

namespace Pkgseal {

MemorySource::MemorySource(const uint8_t *data, size_t size)
    : m_data(data)
    , m_size(size)
{}

uint64_t MemorySource::size() const
{
    return m_size;
}

void MemorySource::readAt(uint64_t offset, uint8_t *buffer, size_t length) const
{
    if (offset > m_size || length > m_size - offset)
        throw FormatError("unexpected end of file");
    if (length > 0)
        std::memcpy(buffer, m_data + offset, length);
}

} // namespace Pkgseal
