#include "packagefile.h"

#include "atomicreplacement.h"
#include "packageintegrity.h"
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
const uint64_t ParallelSize = 16 * 1024 * 1024;
const size_t ChunkSize = 4 * 1024 * 1024;
} // namespace

PackageFile::PackageFile(const std::string &path, FileSource::Access access)
    : PackageFile(path, std::make_unique<FileSource>(path, access))
{}

PackageFile::PackageFile(const std::string &path, std::unique_ptr<FileSource> source)
    : m_path(path)
    , m_source(std::move(source))
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

void PackageFile::readContent(const ContentSink &signingDigests,
                              bool checkIntegrity,
                              AtomicReplacement *copy,
                              uint64_t newHeaderSize) const
{
    PackageIntegrity integrity(m_package);
    if (checkIntegrity)
        integrity.checkSize();
    uint64_t position = RpmPackage::LeadSize + RpmPackage::paddedSize(newHeaderSize);
    const auto beside = [&](const uint8_t *data, size_t length, bool hole) {
        if (checkIntegrity)
            integrity.update(data, length);
        if (copy && !hole)
            copy->writeAt(position, data, length);
        position += length;
    };
    const bool parallel = m_package.contentSize() >= ParallelSize;
    m_source->streamExtents(m_package.contentOffset(),
                            m_package.contentSize(),
                            ChunkSize,
                            [&](const uint8_t *data, size_t length, bool hole) {
                                std::future<void> besideDone;
                                if (parallel)
                                    besideDone = std::async(std::launch::async,
                                                            beside,
                                                            data,
                                                            length,
                                                            hole);
                                else
                                    beside(data, length, hole);
                                if (signingDigests)
                                    signingDigests(data, length);
                                if (besideDone.valid())
                                    besideDone.get();
                            });
    if (checkIntegrity)
        integrity.finish();
}

std::unique_ptr<AtomicReplacement> PackageFile::newCopy() const
{
    return std::make_unique<AtomicReplacement>(m_realPath, *m_source);
}

std::pair<uint64_t, uint64_t> PackageFile::changedRange(const Bytes &header) const
{
    const Bytes present = m_package.signatureHeader().serialize();
    uint64_t first = 0;
    while (first < header.size() && header[first] == present[first])
        ++first;
    uint64_t end = header.size();
    while (end > first && header[end - 1] == present[end - 1])
        --end;
    return {first, end};
}

bool PackageFile::canPatchInPlace(const RpmHeader &header) const
{
    if (m_source->linkCount() != 1 || header.byteSize() != m_package.signatureHeader().byteSize())
        return false;
    const auto [first, end] = changedRange(header.serialize());
    const uint64_t pageSize = uint64_t(::sysconf(_SC_PAGESIZE));
    return first == end
           || (RpmPackage::LeadSize + first) / pageSize
                  == (RpmPackage::LeadSize + end - 1) / pageSize;
}

std::unique_ptr<AtomicReplacement> PackageFile::replaceHeader(
    const RpmHeader &header, std::unique_ptr<AtomicReplacement> copy) const
{
    const Bytes headerBytes = header.serialize();
    if (!copy && canPatchInPlace(header)) {
        const auto [first, end] = changedRange(headerBytes);
        const ssize_t written = ::pwrite(m_source->descriptor(),
                                         headerBytes.data() + first,
                                         end - first,
                                         off_t(RpmPackage::LeadSize + first));
        if (written != ssize_t(end - first))
            throw SealError(std::string("cannot write the package: ") + std::strerror(errno));
        return nullptr;
    }
    if (!copy) {
        copy = newCopy();
        readContent({}, false, copy.get(), headerBytes.size());
    }
    Bytes head = m_package.lead();
    head.insert(head.end(), headerBytes.begin(), headerBytes.end());
    head.resize(RpmPackage::LeadSize + RpmPackage::paddedSize(headerBytes.size()), 0);
    copy->writeAt(0, head.data(), head.size());
    copy->finishContent(head.size() + m_package.contentSize());
    return copy;
}

} // namespace Pkgseal
