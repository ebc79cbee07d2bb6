#include "filesource.h"

#include "sealerror.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace Pkgseal {

namespace {

std::string typeProblem(mode_t mode)
{
    return S_ISDIR(mode) ? "is a directory, not a package" : "is not a regular file";
}

SealError systemError(const std::string &what, int error)
{
    return SealError(what + ": " + std::strerror(error));
}

} // namespace

FileSource::FileSource(const std::string &path, Access access)
    : FileSource()
{
    open(path, access, true);
}

std::unique_ptr<FileSource> FileSource::openIfFree(const std::string &path, Access access)
{
    std::unique_ptr<FileSource> source(new FileSource);
    if (!source->open(path, access, false))
        return nullptr;
    return source;
}

// The lock is taken on the file that the path names; when the path names another file once the
// lock is held (the package was replaced meanwhile), that one is opened and locked instead.
bool FileSource::open(const std::string &path, Access access, bool wait)
{
    struct stat status;
    if (::stat(path.c_str(), &status) == 0 && !S_ISREG(status.st_mode))
        throw SealError(typeProblem(status.st_mode));
    const int openMode = access == Access::Change ? O_RDWR : O_RDONLY;
    const int lockMode = (access == Access::Change ? LOCK_EX : LOCK_SH) | (wait ? 0 : LOCK_NB);
    for (;;) {
        m_fd = ::open(path.c_str(), openMode | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
        if (m_fd < 0 && errno == EACCES && access == Access::Change)
            throw SealError("the package is read-only");
        if (m_fd < 0)
            throw systemError("cannot open", errno);
        if (::fstat(m_fd, &status) != 0)
            throw systemError("cannot read", errno);
        if (!S_ISREG(status.st_mode))
            throw SealError(typeProblem(status.st_mode));
        int result;
        while ((result = ::flock(m_fd, lockMode)) != 0 && errno == EINTR) {
        }
        if (result != 0 && errno == EWOULDBLOCK)
            return false;
        // A file system without locks is used as before there were locks.
        if (result != 0 && errno != ENOLCK && errno != EOPNOTSUPP && errno != EINVAL)
            throw systemError("cannot lock", errno);
        struct stat named;
        if (::stat(path.c_str(), &named) == 0 && named.st_dev == status.st_dev
            && named.st_ino == status.st_ino) {
            break;
        }
        ::close(m_fd);
        m_fd = -1;
    }
    ::fcntl(m_fd, F_SETFL, ::fcntl(m_fd, F_GETFL) & ~O_NONBLOCK);
    m_size = uint64_t(status.st_size);
    m_mode = status.st_mode & 07777;
    m_owner = status.st_uid;
    m_group = status.st_gid;
    m_linkCount = unsigned(status.st_nlink);
    m_device = status.st_dev;
    ::posix_fadvise(m_fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    return true;
}

FileSource::~FileSource()
{
    if (m_fd >= 0)
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
            throw systemError("read error", errno);
        if (count == 0)
            throw FormatError("unexpected end of file");
        done += size_t(count);
    }
}

// The end of the extent (data or hole) that starts at offset.
uint64_t FileSource::extentEnd(uint64_t offset, uint64_t end, bool *hole) const
{
    const off_t data = ::lseek(m_fd, off_t(offset), SEEK_DATA);
    *hole = data < 0 ? errno == ENXIO : uint64_t(data) > offset; // ENXIO: only a hole is left
    if (data < 0)
        return end;
    if (*hole)
        return std::min(end, uint64_t(data));
    const off_t next = ::lseek(m_fd, off_t(offset), SEEK_HOLE);
    return next < 0 ? end : std::min(end, uint64_t(next));
}

void FileSource::streamExtents(uint64_t offset,
                               uint64_t length,
                               size_t chunkSize,
                               const ExtentSink &sink) const
{
    std::vector<uint8_t> buffer(size_t(std::min<uint64_t>(length, chunkSize)));
    std::vector<uint8_t> zeros;
    const uint64_t end = offset + length;
    while (offset < end) {
        bool hole = false;
        const uint64_t extentEnd = this->extentEnd(offset, end, &hole);
        if (hole)
            zeros.resize(buffer.size(), 0);
        while (offset < extentEnd) {
            const size_t count = size_t(std::min<uint64_t>(extentEnd - offset, chunkSize));
            if (!hole)
                readAt(offset, buffer.data(), count);
            sink(hole ? zeros.data() : buffer.data(), count, hole);
            offset += count;
        }
    }
}

} // namespace Pkgseal
