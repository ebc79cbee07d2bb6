#pragma once

#include "bytesource.h"

#include <functional>
#include <memory>
#include <string>

namespace Pkgseal {

// A package file opened for reading and locked (flock on the file itself) for as long as the
// object lives: shared by readers, exclusive while the package is changed, so that a second
// signer reads the first one's result. Throws SealError when the file can't be opened or is no
// regular file; that is checked before it is opened, and it is opened so that it can't block.
class FileSource : public ByteSource
{
public:
    enum class Access { Read, Change };

    FileSource(const std::string &path, Access access);
    ~FileSource() override;
    FileSource(const FileSource &) = delete;
    FileSource &operator=(const FileSource &) = delete;

    // Null when another process (or another open file of this one) holds a conflicting lock.
    static std::unique_ptr<FileSource> openIfFree(const std::string &path, Access access);

    uint64_t size() const override;
    void readAt(uint64_t offset, uint8_t *buffer, size_t length) const override;

    // For a hole of the file (zeros that are not stored), data points to zeros and hole is set.
    using ExtentSink = std::function<void(const uint8_t *data, size_t length, bool hole)>;
    // Hands the range to sink in pieces of at most chunkSize bytes, holes as such.
    void streamExtents(uint64_t offset,
                       uint64_t length,
                       size_t chunkSize,
                       const ExtentSink &sink) const;

    int descriptor() const { return m_fd; }
    unsigned mode() const { return m_mode; }
    unsigned owner() const { return m_owner; }
    unsigned group() const { return m_group; }
    unsigned linkCount() const { return m_linkCount; }
    uint64_t device() const { return m_device; }

private:
    FileSource() = default;
    bool open(const std::string &path, Access access, bool wait);
    uint64_t extentEnd(uint64_t offset, uint64_t end, bool *hole) const;

    int m_fd = -1;
    uint64_t m_size = 0;
    unsigned m_mode = 0;
    unsigned m_owner = 0;
    unsigned m_group = 0;
    unsigned m_linkCount = 0;
    uint64_t m_device = 0;
};

} // namespace Pkgseal
