#pragma once

#include <cstddef>
#include <cstdint>
#include <set>
#include <string>

namespace Pkgseal {

class FileSource;

// The new content of a package, written into a temporary file in its folder that replaces it
// by a rename, so that the package is at any moment either wholly old or wholly new. The file
// has no name until the replacement (O_TMPFILE): if the process dies before, the kernel removes
// it. Where the file system lacks unnamed files, it has a short hidden name that is removed
// when the replacement is abandoned, also on the usual termination signals (not on SIGKILL).
// The new file gets the mode, owner and extended attributes of the old one, and keeps holes
// where the writer leaves them.
class AtomicReplacement
{
public:
    AtomicReplacement(const std::string &targetPath, const FileSource &original);
    ~AtomicReplacement();
    AtomicReplacement(const AtomicReplacement &) = delete;
    AtomicReplacement &operator=(const AtomicReplacement &) = delete;

    void writeAt(uint64_t offset, const uint8_t *data, size_t length);
    // Sets the final size (what was not written stays a hole) and the attributes of the original.
    void finishContent(uint64_t size);
    // Puts the new file in place; its data must have been made durable before.
    void commit();
    // Makes the renames of all commits lasting; one sync per folder.
    static void syncRenames();
    // Workers that write replacements leave the termination signals to the main thread.
    static void blockSignalsOfThisThread();

private:
    bool openUnnamed(const std::string &directory);
    void openNamed(const std::string &directory);
    void copyAttributes();
    [[noreturn]] void fail(const std::string &what) const;

    std::string m_targetPath;
    std::string m_temporaryPath;
    const FileSource &m_original;
    int m_fd = -1;
    int m_slot = -1;
    bool m_committed = false;
};

} // namespace Pkgseal
