#include "packagefile.h"

#include "atomicreplacement.h"
#include "contentdigest.h"
#include "pathnames.h"
#include "sealerror.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <future>
#include <sys/stat.h>
#include <unistd.h>

namespace Pkgseal {

namespace {
const uint64_t ParallelCopySize = 16 * 1024 * 1024;
}

PackageFile::PackageFile(const std::string &path)
    : m_path(path)
    , m_source(std::make_unique<FileSource>(path))
    , m_package(RpmPackage::read(*m_source))
    , m_editor(std::make_unique<SignatureHeaderEditor>(m_package.signatureHeader()))
{
    char resolved[PATH_MAX];
    if (!::realpath(path.c_str(), resolved))
        throw SealError(std::string("cannot resolve the path: ") + std::strerror(errno));
    m_realPath = resolved;
    for (const Bytes &der : m_editor->signatures())
        m_signatures.emplace_back(der);
}

void PackageFile::checkWritable() const
{
    const unsigned writeBits = S_IWUSR | S_IWGRP | S_IWOTH;
    if ((m_source->mode() & writeBits) == 0 || ::access(m_realPath.c_str(), W_OK) != 0)
        throw SealError("the package is read-only");
    const std::string directory = directoryOf(m_realPath);
    struct stat status;
    if (::stat(directory.c_str(), &status) != 0 || (status.st_mode & writeBits) == 0
        || ::access(directory.c_str(), W_OK | X_OK) != 0) {
        throw SealError("the folder " + directory + " is read-only");
    }
}

void PackageFile::streamContent(const FileSource::ChunkSink &sink) const
{
    m_source->stream(m_package.contentOffset(), m_package.contentSize(), sink);
}

void PackageFile::rewrite(uint64_t headerSize,
                          ContentDigest *digest,
                          const std::function<RpmHeader()> &makeHeader) const
{
    AtomicReplacement replacement(m_realPath);
    const uint64_t contentOffset = RpmPackage::LeadSize + RpmPackage::paddedSize(headerSize);
    const auto copyContent = [&] {
        replacement.copyFrom(*m_source,
                             m_package.contentOffset(),
                             m_package.contentSize(),
                             contentOffset);
    };
    // Copying and hashing read the same bytes independently; for a large package, doing both
    // at once saves much of the time. The future waits for the copy also when hashing fails.
    std::future<void> copy;
    if (digest && m_package.contentSize() >= ParallelCopySize)
        copy = std::async(std::launch::async, copyContent);
    else
        copyContent();
    if (digest)
        streamContent([&](const uint8_t *data, size_t length) { digest->update(data, length); });
    if (copy.valid())
        copy.get();
    const RpmHeader header = makeHeader();
    if (header.byteSize() != headerSize)
        throw SealError("the new signature header does not have the planned size");
    Bytes head = m_package.lead();
    const Bytes headerBytes = header.serialize();
    head.insert(head.end(), headerBytes.begin(), headerBytes.end());
    head.resize(contentOffset, 0);
    replacement.writeAt(0, head.data(), head.size());
    replacement.commit(m_source->mode(), m_source->owner(), m_source->group());
}

} // namespace Pkgseal
