#include "atomicreplacement.h"

#include "filesource.h"
#include "pathnames.h"
#include "sealerror.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <limits.h>
#include <set>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace Pkgseal {

namespace {

const uint64_t WriteBackStep = 16 * 1024 * 1024;

char g_pendingTemporary[PATH_MAX + 1];
volatile sig_atomic_t g_hasPendingTemporary = 0;

void removePendingTemporary(int signalNumber)
{
    if (g_hasPendingTemporary)
        ::unlink(g_pendingTemporary);
    ::signal(signalNumber, SIG_DFL);
    ::raise(signalNumber);
}

} // namespace

AtomicReplacement::AtomicReplacement(const std::string &targetPath)
    : m_targetPath(targetPath)
{
    installSignalCleanup();
    std::string pattern = directoryOf(targetPath) + "/." + baseNameOf(targetPath) + ".XXXXXX";
    if (pattern.size() > PATH_MAX)
        throw SealError("path too long");
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');

    sigset_t blocked, previous;
    sigfillset(&blocked);
    sigprocmask(SIG_BLOCK, &blocked, &previous);
    m_fd = ::mkostemp(name.data(), O_CLOEXEC);
    const int error = errno;
    if (m_fd >= 0) {
        std::memcpy(g_pendingTemporary, name.data(), name.size());
        g_hasPendingTemporary = 1;
    }
    sigprocmask(SIG_SETMASK, &previous, nullptr);
    if (m_fd < 0)
        throw SealError(std::string("cannot create a temporary file beside it: ")
                        + std::strerror(error));
    m_temporaryPath = name.data();
}

AtomicReplacement::~AtomicReplacement()
{
    if (m_fd >= 0)
        ::close(m_fd);
    if (!m_committed) {
        ::unlink(m_temporaryPath.c_str());
        g_hasPendingTemporary = 0;
    }
}

void AtomicReplacement::installSignalCleanup()
{
    static bool installed = false;
    if (installed)
        return;
    installed = true;
    for (int signalNumber : {SIGINT, SIGTERM, SIGHUP, SIGPIPE, SIGQUIT})
        ::signal(signalNumber, removePendingTemporary);
}

void AtomicReplacement::fail(const std::string &what) const
{
    throw SealError("cannot " + what + " " + m_temporaryPath + ": " + std::strerror(errno));
}

void AtomicReplacement::writeAt(uint64_t offset, const uint8_t *data, size_t length)
{
    size_t done = 0;
    while (done < length) {
        const ssize_t count = ::pwrite(m_fd, data + done, length - done, off_t(offset + done));
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0)
            fail("write");
        done += size_t(count);
    }
}

void AtomicReplacement::copyFrom(const FileSource &source,
                                 uint64_t sourceOffset,
                                 uint64_t length,
                                 uint64_t offset)
{
    const uint64_t copied = copyInKernel(source.descriptor(), sourceOffset, length, offset);
    uint64_t position = offset + copied;
    source.stream(sourceOffset + copied, length - copied, [&](const uint8_t *data, size_t count) {
        writeAt(position, data, count);
        position += count;
    });
}

// Returns how much was copied; the file systems may refuse to copy at all.
uint64_t AtomicReplacement::copyInKernel(int sourceFd,
                                         uint64_t sourceOffset,
                                         uint64_t length,
                                         uint64_t offset)
{
    uint64_t done = 0;
    while (done < length) {
        loff_t in = loff_t(sourceOffset + done);
        loff_t out = loff_t(offset + done);
        const size_t step = size_t(std::min(length - done, WriteBackStep));
        const ssize_t count = ::copy_file_range(sourceFd, &in, m_fd, &out, step, 0);
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0)
            break;
        // Pushing written data to the disk early keeps the final sync short.
        ::sync_file_range(m_fd, off_t(offset + done), count, SYNC_FILE_RANGE_WRITE);
        done += uint64_t(count);
    }
    return done;
}

void AtomicReplacement::commit(unsigned mode, unsigned owner, unsigned group)
{
    if (::geteuid() == 0 && ::fchown(m_fd, owner, group) != 0)
        fail("set the owner of");
    if (::fchmod(m_fd, mode) != 0)
        fail("set the mode of");
    if (::fsync(m_fd) != 0)
        fail("sync");
    if (::close(m_fd) != 0) {
        m_fd = -1;
        fail("close");
    }
    m_fd = -1;

    sigset_t blocked, previous;
    sigfillset(&blocked);
    sigprocmask(SIG_BLOCK, &blocked, &previous);
    const int result = ::rename(m_temporaryPath.c_str(), m_targetPath.c_str());
    const int error = errno;
    if (result == 0) {
        m_committed = true;
        g_hasPendingTemporary = 0;
    }
    sigprocmask(SIG_SETMASK, &previous, nullptr);
    if (result != 0)
        throw SealError("cannot replace the package: " + std::string(std::strerror(error)));
    pendingDirectories().insert(directoryOf(m_targetPath));
}

std::set<std::string> &AtomicReplacement::pendingDirectories()
{
    static std::set<std::string> directories;
    return directories;
}

void AtomicReplacement::syncRenames()
{
    for (const std::string &directory : pendingDirectories()) {
        const int fd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd >= 0) {
            ::fsync(fd);
            ::close(fd);
        }
    }
    pendingDirectories().clear();
}

} // namespace Pkgseal
