#pragma once

#include "cmssignature.h"
#include "filesource.h"
#include "rpmpackage.h"
#include "signatureheadereditor.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace Pkgseal {

class AtomicReplacement;

// A package named on the command line, opened and locked (see FileSource), read and checked,
// with its signatures.
class PackageFile
{
public:
    using ContentSink = std::function<void(const uint8_t *data, size_t length)>;

    // Waits for the lock. Throws SealError (or FormatError) when the file can't be read or is
    // no valid package.
    PackageFile(const std::string &path, FileSource::Access access);
    PackageFile(const std::string &path, std::unique_ptr<FileSource> source);
    PackageFile(const PackageFile &) = delete;
    PackageFile &operator=(const PackageFile &) = delete;

    const std::string &path() const { return m_path; }
    const FileSource &source() const { return *m_source; }
    const std::vector<CmsSignature> &signatures() const { return m_signatures; }
    const SignatureHeaderEditor &editor() const { return *m_editor; }

    // Throws SealError when the package can't be replaced: no write permission in its mode
    // (also for root), or a folder or file system that refuses writes.
    void checkWritable() const;
    // Reads the signed content once. The signing digests get it on this thread; the check of
    // what rpm's tags record (throws FormatError when the package is damaged) and the copy into
    // a new file of a signature header of newHeaderSize get it beside, on a thread of their own
    // for a large package.
    void readContent(const ContentSink &signingDigests,
                     bool checkIntegrity,
                     AtomicReplacement *copy = nullptr,
                     uint64_t newHeaderSize = 0) const;
    // A new file for the package, to be filled by readContent.
    std::unique_ptr<AtomicReplacement> newCopy() const;
    // Whether the header could be written over the old one: same size, one name only, and all
    // changed bytes within one page, which a write can't tear even when the process is killed.
    bool canPatchInPlace(const RpmHeader &header) const;
    // Puts the new signature header in: in place when it can be, else into copy, which has the
    // content already, or into a new copy made now. Returns the copy to commit, if any.
    std::unique_ptr<AtomicReplacement> replaceHeader(const RpmHeader &header,
                                                     std::unique_ptr<AtomicReplacement> copy) const;

private:
    // The first and one past the last byte of the header that differ from the present one.
    std::pair<uint64_t, uint64_t> changedRange(const Bytes &header) const;

    std::string m_path;
    std::string m_realPath;
    std::unique_ptr<FileSource> m_source;
    RpmPackage m_package;
    std::unique_ptr<SignatureHeaderEditor> m_editor;
    std::vector<CmsSignature> m_signatures;
};

} // namespace Pkgseal
