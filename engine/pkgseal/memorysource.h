#pragma once

#include "bytesource.h"

namespace Pkgseal {

class MemorySource : public ByteSource
{
public:
    MemorySource(const uint8_t *data, size_t size);

    uint64_t size() const override;
    void readAt(uint64_t offset, uint8_t *buffer, size_t length) const override;

private:
    const uint8_t *m_data;
    size_t m_size;
};

} // namespace Pkgseal
