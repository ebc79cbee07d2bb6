#include "sealtool.h"

#include "atomicreplacement.h"
#include "cmssigner.h"
#include "cmsverifier.h"
#include "commandline.h"
#include "contentdigest.h"
#include "gostengine.h"
#include "keyloader.h"
#include "packagefile.h"
#include "pathnames.h"
#include "sealerror.h"
#include "signaturedump.h"
#include "signerdescription.h"

#include <iostream>
#include <map>

namespace Pkgseal {

namespace {
// Batches grow from a few packages, so that the first lines come soon, to this many.
const size_t FirstBatchSize = 4;
const size_t MaxBatchSize = 64;
const char UnchangedNote[] = "; package left unchanged";
} // namespace

int SealTool::run(const CommandLine &commandLine)
{
    GostEngine::load();
    switch (commandLine.command()) {
    case CommandLine::Command::Sign:
        return sign(commandLine.keyPath(), commandLine.certificatePath(), commandLine.packages());
    case CommandLine::Command::Delete:
        return remove(commandLine.packages());
    case CommandLine::Command::Verify:
        return verify(commandLine.rootBundlePath(), commandLine.packages());
    case CommandLine::Command::Dump:
        return dump(commandLine.packages());
    case CommandLine::Command::Help:
        std::cout << CommandLine::usage();
        return 0;
    }
    return 2;
}

void SealTool::reportError(const std::string &path, const std::string &message)
{
    m_failed = true;
    std::cout.flush();
    std::cerr << "pkgseal: " << (path.empty() ? "" : path + ": ") << message << std::endl;
}

// Packages are opened again when they are changed, so that only a batch of them is open at a time.
bool SealTool::checkChangeable(const std::vector<std::string> &paths)
{
    std::vector<std::string> problems(paths.size());
    PackageBatch::forEachInParallel(paths.size(), [&](size_t i) {
        try {
            PackageFile(paths[i], FileSource::Access::Read).checkWritable();
        } catch (const SealError &error) {
            problems[i] = error.what();
        }
    });
    for (size_t i = 0; i < paths.size(); ++i) {
        if (!problems[i].empty())
            reportError(paths[i], problems[i]);
    }
    if (m_failed)
        std::cerr << "pkgseal: no package was changed" << std::endl;
    return !m_failed;
}

int SealTool::handleInBatches(const std::vector<std::string> &paths,
                              FileSource::Access access,
                              const std::string &failureNote,
                              const PackageBatch::Work &work)
{
    size_t batchSize = FirstBatchSize;
    for (size_t next = 0; next < paths.size(); batchSize = std::min(2 * batchSize, MaxBatchSize)) {
        PackageBatch batch(paths, &next, batchSize, access, failureNote);
        batch.run(work);
        batch.finish([this](const std::string &path, const std::string &message) {
            reportError(path, message);
        });
    }
    return m_failed ? 1 : 0;
}

int SealTool::sign(const std::string &keyPath,
                   const std::string &certificatePath,
                   const std::vector<std::string> &paths)
{
    if (!checkChangeable(paths))
        return 1;
    std::unique_ptr<CmsSigner> signer;
    try {
        signer = createSigner(keyPath, certificatePath);
        signer->estimatedSize();
    } catch (const SealError &error) {
        reportError({}, std::string(error.what()) + "; no package was changed");
        return 1;
    }
    return handleInBatches(paths,
                           FileSource::Access::Change,
                           UnchangedNote,
                           [&](const PackageFile &package) {
                               return signPackage(package, *signer);
                           });
}

std::unique_ptr<CmsSigner> SealTool::createSigner(const std::string &keyPath,
                                                  const std::string &certificatePath)
{
    std::vector<CertificatePtr> certificates = KeyLoader::loadCertificates(certificatePath);
    KeyPtr key = KeyLoader::loadPrivateKey(keyPath);
    if (!CmsSigner::belongTogether(certificates.front().get(), key.get()))
        throw SealError(keyPath + ": the key does not belong to the certificate " + certificatePath);
    return std::make_unique<CmsSigner>(std::move(certificates), std::move(key));
}

PackageBatch::Outcome SealTool::signPackage(const PackageFile &package, const CmsSigner &signer)
{
    const std::string subject = SignerDescription(signer.certificate()).subject();
    for (const CmsSignature &signature : package.signatures()) {
        if (X509_cmp(signature.signer(), signer.certificate()) == 0) {
            return unchanged(package.path() + ": already signed with the certificate of " + subject
                             + ", no signature added");
        }
    }
    if (package.signatures().size() >= SignatureBlob::MaxSignatures) {
        throw SealError("the package has " + std::to_string(package.signatures().size())
                        + " signatures, the most a package can hold");
    }
    std::vector<Bytes> signatures = package.editor().signatures();
    std::vector<uint64_t> sizes;
    for (const Bytes &signature : signatures)
        sizes.push_back(signature.size());
    sizes.push_back(signer.estimatedSize());
    const uint64_t headerSize = package.editor().plannedSize(SignatureBlob::encodedSize(sizes));

    // Written in place when a signature of the estimated size could be; else the content is
    // copied in the same pass as it is hashed. (A signature a little longer than estimated
    // that no longer fits one page is copied in a pass of its own.)
    std::vector<Bytes> planned = signatures;
    planned.push_back(Bytes(signer.estimatedSize(), 0xff));
    std::unique_ptr<AtomicReplacement> copy;
    if (!package.canPatchInPlace(package.editor().withSignatures(planned, headerSize)))
        copy = package.newCopy();
    ContentDigest digest(signer.digestAlgorithm());
    package.readContent([&](const uint8_t *data, size_t length) { digest.update(data, length); },
                        true,
                        copy.get(),
                        headerSize);
    signatures.push_back(signer.sign(digest.finish()));
    return changed(package,
                   package.editor().withSignatures(signatures, headerSize),
                   std::move(copy),
                   package.path() + ": signed by " + subject);
}

PackageBatch::Outcome SealTool::unchanged(const std::string &line)
{
    PackageBatch::Outcome outcome;
    outcome.line = line;
    return outcome;
}

PackageBatch::Outcome SealTool::changed(const PackageFile &package,
                                        const RpmHeader &header,
                                        std::unique_ptr<AtomicReplacement> copy,
                                        const std::string &line)
{
    PackageBatch::Outcome outcome;
    outcome.line = line;
    outcome.replacement = package.replaceHeader(header, std::move(copy));
    outcome.changedInPlace = !outcome.replacement;
    return outcome;
}

int SealTool::remove(const std::vector<std::string> &paths)
{
    if (!checkChangeable(paths))
        return 1;
    return handleInBatches(paths,
                           FileSource::Access::Change,
                           UnchangedNote,
                           &SealTool::removeSignatures);
}

PackageBatch::Outcome SealTool::removeSignatures(const PackageFile &package)
{
    if (package.signatures().empty())
        return unchanged(package.path() + ": has no signature, nothing removed");
    return changed(package,
                   package.editor().withoutSignatures(),
                   nullptr,
                   package.path() + ": " + std::to_string(package.signatures().size())
                       + " signature(s) removed");
}

int SealTool::verify(const std::string &bundlePath, const std::vector<std::string> &paths)
{
    std::unique_ptr<CmsVerifier> verifier;
    try {
        verifier = std::make_unique<CmsVerifier>(bundlePath);
    } catch (const SealError &error) {
        reportError({}, error.what());
        return 1;
    }
    return handleInBatches(paths, FileSource::Access::Read, {}, [&](const PackageFile &package) {
        return verifyPackage(package, *verifier);
    });
}

PackageBatch::Outcome SealTool::verifyPackage(const PackageFile &package,
                                              const CmsVerifier &verifier)
{
    if (package.signatures().empty())
        throw SealError("the package has no signature");
    std::map<int, ContentDigest> digests;
    for (const CmsSignature &signature : package.signatures()) {
        if (const EVP_MD *algorithm = signature.digestAlgorithm())
            digests.emplace(EVP_MD_get_type(algorithm), algorithm);
    }
    package.readContent(
        [&](const uint8_t *data, size_t length) {
            for (auto &digest : digests)
                digest.second.update(data, length);
        },
        true);
    std::map<int, Bytes> results;
    for (auto &digest : digests)
        results.emplace(digest.first, digest.second.finish());

    PackageBatch::Outcome outcome;
    for (size_t i = 0; i < package.signatures().size(); ++i) {
        const CmsSignature &signature = package.signatures()[i];
        try {
            const EVP_MD *algorithm = signature.digestAlgorithm();
            if (!algorithm)
                throw SealError("unknown digest algorithm");
            verifier.verify(signature, results.at(EVP_MD_get_type(algorithm)));
        } catch (const SealError &error) {
            outcome.errors.push_back("signature " + std::to_string(i + 1) + " ("
                                     + SignerDescription(signature.signer()).subject()
                                     + "): " + error.what());
        }
    }
    outcome.line = package.path() + ": " + std::to_string(package.signatures().size())
                   + " signature(s) verified";
    return outcome;
}

int SealTool::dump(const std::vector<std::string> &paths)
{
    for (const std::string &path : paths) {
        try {
            const PackageFile package(path, FileSource::Access::Read);
            std::cout << SignatureDump::format(absolutePath(path), package.signatures());
        } catch (const SealError &error) {
            reportError(path, error.what());
        }
    }
    std::cout.flush();
    return m_failed ? 1 : 0;
}

} // namespace Pkgseal
