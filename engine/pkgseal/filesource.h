#pragma once

#include "bytesource.h"

#include <functional>
#include <string>

namespace Pkgseal {

// A package file opened for reading. Throws SealError when it can't be opened or is no
// regular file.
class FileSource : public ByteSource
{
public:
    explicit FileSource(const std::string &path);
    ~FileSource() override;
    FileSource(const FileSource &) = delete;
    FileSource &operator=(const FileSource &) = delete;

    uint64_t size() const override;
    void readAt(uint64_t offset, uint8_t *buffer, size_t length) const override;

    using ChunkSink = std::function<void(const uint8_t *data, size_t length)>;
    // Hands the bytes of the range to sink in chunks of bounded size.
    void stream(uint64_t offset, uint64_t length, const ChunkSink &sink) const;

    int descriptor() const { return m_fd; }
    unsigned mode() const { return m_mode; }
    unsigned owner() const { return m_owner; }
    unsigned group() const { return m_group; }

private:
    int m_fd = -1;
    uint64_t m_size = 0;
    unsigned m_mode = 0;
    unsigned m_owner = 0;
    unsigned m_group = 0;
};

} // namespace Pkgseal
