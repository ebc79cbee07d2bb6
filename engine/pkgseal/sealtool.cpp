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

// Packages are opened again when they are changed, so that no more than one is open at a time.
bool SealTool::checkChangeable(const std::vector<std::string> &paths)
{
    for (const std::string &path : paths) {
        try {
            PackageFile(path).checkWritable();
        } catch (const SealError &error) {
            reportError(path, error.what());
        }
    }
    if (m_failed)
        std::cerr << "pkgseal: no package was changed" << std::endl;
    return !m_failed;
}

std::unique_ptr<PackageFile> SealTool::openForReading(const std::string &path)
{
    try {
        return std::make_unique<PackageFile>(path);
    } catch (const SealError &error) {
        reportError(path, error.what());
        return nullptr;
    }
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
    } catch (const SealError &error) {
        reportError({}, std::string(error.what()) + "; no package was changed");
        return 1;
    }
    for (const std::string &path : paths) {
        try {
            signPackage(PackageFile(path), *signer);
        } catch (const SealError &error) {
            reportError(path, std::string(error.what()) + "; package left unchanged");
        }
    }
    AtomicReplacement::syncRenames();
    return m_failed ? 1 : 0;
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

void SealTool::signPackage(const PackageFile &package, const CmsSigner &signer)
{
    const std::string subject = SignerDescription(signer.certificate()).subject();
    std::vector<Bytes> signatures;
    std::vector<uint64_t> sizes;
    for (size_t i = 0; i < package.signatures().size(); ++i) {
        if (X509_cmp(package.signatures()[i].signer(), signer.certificate()) == 0) {
            std::cout << package.path() << ": already signed with the certificate of " << subject
                      << ", no signature added" << std::endl;
            return;
        }
        signatures.push_back(package.editor().signatures()[i]);
        sizes.push_back(signatures.back().size());
    }
    sizes.push_back(signer.estimatedSize());
    const uint64_t headerSize = package.editor().plannedSize(SignatureBlob::encodedSize(sizes));
    ContentDigest digest(signer.digestAlgorithm());
    package.rewrite(headerSize, &digest, [&] {
        signatures.push_back(signer.sign(digest.finish()));
        return package.editor().withSignatures(signatures, headerSize);
    });
    std::cout << package.path() << ": signed by " << subject << std::endl;
}

int SealTool::remove(const std::vector<std::string> &paths)
{
    if (!checkChangeable(paths))
        return 1;
    for (const std::string &path : paths) {
        try {
            removeSignatures(PackageFile(path));
        } catch (const SealError &error) {
            reportError(path, std::string(error.what()) + "; package left unchanged");
        }
    }
    AtomicReplacement::syncRenames();
    return m_failed ? 1 : 0;
}

void SealTool::removeSignatures(const PackageFile &package)
{
    if (package.signatures().empty()) {
        std::cout << package.path() << ": has no signature, nothing removed" << std::endl;
        return;
    }
    const RpmHeader header = package.editor().withoutSignatures();
    package.rewrite(header.byteSize(), nullptr, [&] { return header; });
    std::cout << package.path() << ": " << package.signatures().size() << " signature(s) removed"
              << std::endl;
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
    for (const std::string &path : paths) {
        const std::unique_ptr<PackageFile> package = openForReading(path);
        try {
            if (package && verifyPackage(*package, *verifier)) {
                std::cout << path << ": " << package->signatures().size()
                          << " signature(s) verified" << std::endl;
            }
        } catch (const SealError &error) {
            reportError(path, error.what());
        }
    }
    return m_failed ? 1 : 0;
}

bool SealTool::verifyPackage(const PackageFile &package, const CmsVerifier &verifier)
{
    if (package.signatures().empty()) {
        reportError(package.path(), "the package has no signature");
        return false;
    }
    std::map<int, ContentDigest> digests;
    for (const CmsSignature &signature : package.signatures()) {
        if (const EVP_MD *algorithm = signature.digestAlgorithm())
            digests.emplace(EVP_MD_get_type(algorithm), algorithm);
    }
    package.streamContent([&](const uint8_t *data, size_t length) {
        for (auto &digest : digests)
            digest.second.update(data, length);
    });
    std::map<int, Bytes> results;
    for (auto &digest : digests)
        results.emplace(digest.first, digest.second.finish());

    bool allVerified = true;
    for (size_t i = 0; i < package.signatures().size(); ++i) {
        const CmsSignature &signature = package.signatures()[i];
        const std::string which = "signature " + std::to_string(i + 1) + " ("
                                  + SignerDescription(signature.signer()).subject() + "): ";
        try {
            const EVP_MD *algorithm = signature.digestAlgorithm();
            if (!algorithm)
                throw SealError("unknown digest algorithm");
            verifier.verify(signature, results.at(EVP_MD_get_type(algorithm)));
        } catch (const SealError &error) {
            reportError(package.path(), which + error.what());
            allVerified = false;
        }
    }
    return allVerified;
}

int SealTool::dump(const std::vector<std::string> &paths)
{
    for (const std::string &path : paths) {
        if (const std::unique_ptr<PackageFile> package = openForReading(path))
            std::cout << SignatureDump::format(absolutePath(path), package->signatures());
    }
    std::cout.flush();
    return m_failed ? 1 : 0;
}

} // namespace Pkgseal
