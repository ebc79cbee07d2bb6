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

class ContentDigest;

// A package named on the command line, read and checked, with its signatures.
class PackageFile
{
public:
    // Throws SealError (or FormatError) when the file can't be read or is no valid package.
    explicit PackageFile(const std::string &path);
    PackageFile(const PackageFile &) = delete;
    PackageFile &operator=(const PackageFile &) = delete;

    const std::string &path() const { return m_path; }
    const std::vector<CmsSignature> &signatures() const { return m_signatures; }
    const SignatureHeaderEditor &editor() const { return *m_editor; }

    // Throws SealError when the package can't be replaced: no write permission in its mode
    // (also for root), or a folder or file system that refuses writes.
    void checkWritable() const;
    // Hands the signed content (main header and payload) to sink.
    void streamContent(const FileSource::ChunkSink &sink) const;
    // Writes the package anew, its content hashed into digest (if any) on the way, with the
    // signature header that makeHeader returns once the content is written; that header must
    // be headerSize bytes long.
    void rewrite(uint64_t headerSize,
                 ContentDigest *digest,
                 const std::function<RpmHeader()> &makeHeader) const;

private:
    std::string m_path;
    std::string m_realPath;
    std::unique_ptr<FileSource> m_source;
    RpmPackage m_package;
    std::unique_ptr<SignatureHeaderEditor> m_editor;
    std::vector<CmsSignature> m_signatures;
};

} // namespace Pkgseal
