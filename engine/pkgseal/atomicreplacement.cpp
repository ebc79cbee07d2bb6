#include "atomicreplacement.h"

#include "filesource.h"
#include "pathnames.h"
#include "sealerror.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <limits.h>
#include <mutex>
#include <pthread.h>
#include <random>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>
#include <vector>

namespace Pkgseal {

namespace {

const char TemporaryPrefix[] = "/.pkgseal-";

// Names of named temporary files, for the signal handler: a slot is free, claimed, its file being
// created, or holds a name to remove. Replacements are made by one batch at a time, so the slots
// are many more than can be in use.
enum SlotState { Free, Claimed, Creating, Created };
const int SlotCount = 256;
char g_temporaryNames[SlotCount][PATH_MAX + 1];
std::atomic<int> g_slotStates[SlotCount];
std::set<std::string> g_pendingDirectories;

void removeTemporaryFiles(int signalNumber)
{
    for (int i = 0; i < SlotCount; ++i) {
        // A file is being created by another thread, which blocks every signal meanwhile: wait
        // the moment until it is known whether the file exists.
        while (g_slotStates[i].load() == Creating) {
        }
        if (g_slotStates[i].load() == Created)
            ::unlink(g_temporaryNames[i]);
    }
    ::signal(signalNumber, SIG_DFL);
    ::raise(signalNumber);
}

const int TerminationSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGPIPE, SIGQUIT};

void installSignalCleanup()
{
    static std::once_flag installed;
    std::call_once(installed, [] {
        for (int signalNumber : TerminationSignals)
            ::signal(signalNumber, removeTemporaryFiles);
    });
}

std::string randomName(const std::string &directory)
{
    static const char letters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    thread_local std::mt19937 generator{std::random_device()()};
    std::string name = directory + TemporaryPrefix;
    for (int i = 0; i < 8; ++i)
        name += letters[generator() % (sizeof(letters) - 1)];
    return name;
}

// Signals are blocked while a temporary name exists only for a moment.
class SignalBlocker
{
public:
    SignalBlocker()
    {
        sigset_t all;
        sigfillset(&all);
        pthread_sigmask(SIG_BLOCK, &all, &m_previous);
    }
    ~SignalBlocker() { pthread_sigmask(SIG_SETMASK, &m_previous, nullptr); }

private:
    sigset_t m_previous;
};

} // namespace

AtomicReplacement::AtomicReplacement(const std::string &targetPath, const FileSource &original)
    : m_targetPath(targetPath)
    , m_original(original)
{
    const std::string directory = directoryOf(targetPath);
    if (!openUnnamed(directory))
        openNamed(directory);
}

AtomicReplacement::~AtomicReplacement()
{
    if (m_fd >= 0)
        ::close(m_fd);
    if (m_slot >= 0) {
        if (!m_committed)
            ::unlink(m_temporaryPath.c_str());
        g_slotStates[m_slot].store(Free);
    }
}

void AtomicReplacement::blockSignalsOfThisThread()
{
    sigset_t signals;
    sigemptyset(&signals);
    for (int signalNumber : TerminationSignals)
        sigaddset(&signals, signalNumber);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
}

// An unnamed file needs the file system's support and /proc to be linked to a name later.
bool AtomicReplacement::openUnnamed(const std::string &directory)
{
    if (::access("/proc/self/fd", X_OK) != 0)
        return false;
    m_fd = ::open(directory.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (m_fd >= 0)
        return true;
    if (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL)
        return false;
    throw SealError(std::string("cannot create a temporary file in ") + directory + ": "
                    + std::strerror(errno));
}

void AtomicReplacement::openNamed(const std::string &directory)
{
    installSignalCleanup();
    for (int i = 0; i < SlotCount && m_slot < 0; ++i) {
        int expected = Free;
        if (g_slotStates[i].compare_exchange_strong(expected, Claimed))
            m_slot = i;
    }
    if (m_slot < 0)
        throw SealError("too many temporary files at once");
    do {
        m_temporaryPath = randomName(directory);
        if (m_temporaryPath.size() > PATH_MAX)
            throw SealError("path too long");
        std::memcpy(g_temporaryNames[m_slot], m_temporaryPath.c_str(), m_temporaryPath.size() + 1);
        const SignalBlocker blocker;
        g_slotStates[m_slot].store(Creating);
        m_fd = ::open(m_temporaryPath.c_str(), O_CREAT | O_EXCL | O_RDWR | O_CLOEXEC, 0600);
        g_slotStates[m_slot].store(m_fd >= 0 ? Created : Claimed);
    } while (m_fd < 0 && errno == EEXIST);
    if (m_fd < 0) {
        const int error = errno;
        g_slotStates[m_slot].store(Free);
        m_slot = -1;
        throw SealError(std::string("cannot create a temporary file in ") + directory + ": "
                        + std::strerror(error));
    }
}

[[noreturn]] void AtomicReplacement::fail(const std::string &what) const
{
    throw SealError("cannot " + what + " the new package file: " + std::strerror(errno));
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

void AtomicReplacement::finishContent(uint64_t size)
{
    if (::ftruncate(m_fd, off_t(size)) != 0)
        fail("size");
    // Changing the owner drops capabilities and set-user-ID bits, so it comes first.
    if (::geteuid() == 0 && ::fchown(m_fd, m_original.owner(), m_original.group()) != 0)
        fail("set the owner of");
    copyAttributes();
    if (::fchmod(m_fd, m_original.mode()) != 0)
        fail("set the mode of");
}

void AtomicReplacement::copyAttributes()
{
    const int source = m_original.descriptor();
    const ssize_t listSize = ::flistxattr(source, nullptr, 0);
    if (listSize <= 0)
        return; // none, or a file system without extended attributes
    std::vector<char> names(size_t(listSize) + 1, 0);
    if (::flistxattr(source, names.data(), names.size()) < 0)
        fail("list the extended attributes for");
    for (const char *name = names.data(); *name; name += std::strlen(name) + 1) {
        const ssize_t valueSize = ::fgetxattr(source, name, nullptr, 0);
        std::vector<char> value(size_t(std::max<ssize_t>(valueSize, 0)));
        if (valueSize < 0 || ::fgetxattr(source, name, value.data(), value.size()) != valueSize
            || ::fsetxattr(m_fd, name, value.data(), value.size(), 0) != 0) {
            fail(std::string("keep the extended attribute ") + name + " for");
        }
    }
}

void AtomicReplacement::commit()
{
    const SignalBlocker blocker;
    if (m_slot < 0) {
        // Linked under a short name only now, and renamed at once.
        for (;;) {
            m_temporaryPath = randomName(directoryOf(m_targetPath));
            if (::linkat(AT_FDCWD,
                         ("/proc/self/fd/" + std::to_string(m_fd)).c_str(),
                         AT_FDCWD,
                         m_temporaryPath.c_str(),
                         AT_SYMLINK_FOLLOW)
                == 0) {
                break;
            }
            if (errno != EEXIST)
                fail("link");
        }
    }
    if (::rename(m_temporaryPath.c_str(), m_targetPath.c_str()) != 0) {
        const int error = errno;
        ::unlink(m_temporaryPath.c_str());
        errno = error;
        fail("put in place");
    }
    m_committed = true;
    g_pendingDirectories.insert(directoryOf(m_targetPath));
}

void AtomicReplacement::syncRenames()
{
    for (const std::string &directory : g_pendingDirectories) {
        const int fd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd >= 0) {
            ::fsync(fd);
            ::close(fd);
        }
    }
    g_pendingDirectories.clear();
}

} // namespace Pkgseal
