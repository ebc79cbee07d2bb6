#include "filesource.h"

#include "sealerror.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace Pkgseal {

FileSource::FileSource(const std::string &path)
{
    m_fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (m_fd < 0)
        throw SealError(std::string("cannot open: ") + std::strerror(errno));
    struct stat status;
    if (::fstat(m_fd, &status) != 0) {
        const int error = errno;
        ::close(m_fd);
        throw SealError(std::string("cannot read: ") + std::strerror(error));
    }
    if (!S_ISREG(status.st_mode)) {
        ::close(m_fd);
        throw SealError(S_ISDIR(status.st_mode) ? "is a directory, not a package"
                                                : "is not a regular file");
    }
    m_size = uint64_t(status.st_size);
    m_mode = status.st_mode & 07777;
    m_owner = status.st_uid;
    m_group = status.st_gid;
    ::posix_fadvise(m_fd, 0, 0, POSIX_FADV_SEQUENTIAL);
}

FileSource::~FileSource()
{
    ::close(m_fd);
}

uint64_t FileSource::size() const
{
    return m_size;
}

void FileSource::readAt(uint64_t offset, uint8_t *buffer, size_t length) const
{
    size_t done = 0;
    while (done < length) {
        const ssize_t count = ::pread(m_fd, buffer + done, length - done, off_t(offset + done));
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0)
            throw SealError(std::string("read error: ") + std::strerror(errno));
        if (count == 0)
            throw FormatError("unexpected end of file");
        done += size_t(count);
    }
}

} // namespace Pkgseal

namespace Pkgseal {

void FileSource::stream(uint64_t offset, uint64_t length, const ChunkSink &sink) const
{
    const size_t chunkSize = 1024 * 1024;
    std::vector<uint8_t> buffer(chunkSize);
    while (length > 0) {
        const size_t count = size_t(std::min<uint64_t>(length, chunkSize));
        readAt(offset, buffer.data(), count);
        sink(buffer.data(), count);
        offset += count;
        length -= count;
    }
}

} // namespace Pkgseal
