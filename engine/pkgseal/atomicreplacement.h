#pragma once

#include <cstddef>
#include <cstdint>
#include <set>
#include <string>

namespace Pkgseal {

class FileSource;

// Writes the new content of a file into a temporary file beside it and replaces the file by
// renaming, so that the file is at any moment either wholly old or wholly new. The temporary
// file is removed when the replacement is abandoned, also when the process is interrupted.
class AtomicReplacement
{
public:
    explicit AtomicReplacement(const std::string &targetPath);
    ~AtomicReplacement();
    AtomicReplacement(const AtomicReplacement &) = delete;
    AtomicReplacement &operator=(const AtomicReplacement &) = delete;

    void writeAt(uint64_t offset, const uint8_t *data, size_t length);
    // Copies length bytes at sourceOffset of the source to offset, in the kernel where the file
    // systems allow it.
    void copyFrom(const FileSource &source, uint64_t sourceOffset, uint64_t length, uint64_t offset);
    // Gives the new file the mode (and, for root, the owner) of the old one and puts it in place.
    void commit(unsigned mode, unsigned owner, unsigned group);
    // Makes the renames of all commits lasting; one sync per folder, after all packages.
    static void syncRenames();

private:
    static void installSignalCleanup();
    static std::set<std::string> &pendingDirectories();
    void fail(const std::string &what) const;
    uint64_t copyInKernel(int sourceFd, uint64_t sourceOffset, uint64_t length, uint64_t offset);

    std::string m_targetPath;
    std::string m_temporaryPath;
    int m_fd = -1;
    bool m_committed = false;
};

} // namespace Pkgseal
