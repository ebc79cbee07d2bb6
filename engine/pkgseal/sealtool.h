#pragma once

#include "packagebatch.h"

#include <memory>
#include <string>
#include <vector>

namespace Pkgseal {

class AtomicReplacement;
class CmsSigner;
class CmsVerifier;
class CommandLine;
class PackageFile;
class RpmHeader;

// Runs one command over its packages; reports each package on standard output once it is final
// and each failure, naming its file, on standard error. The result is the process's exit code.
class SealTool
{
public:
    int run(const CommandLine &commandLine);

private:
    int sign(const std::string &keyPath,
             const std::string &certificatePath,
             const std::vector<std::string> &packages);
    int remove(const std::vector<std::string> &packages);
    int verify(const std::string &bundlePath, const std::vector<std::string> &packages);
    int dump(const std::vector<std::string> &packages);

    // Reports every package that can't be changed; true when all can.
    bool checkChangeable(const std::vector<std::string> &paths);
    int handleInBatches(const std::vector<std::string> &paths,
                        FileSource::Access access,
                        const std::string &failureNote,
                        const PackageBatch::Work &work);
    static std::unique_ptr<CmsSigner> createSigner(const std::string &keyPath,
                                                   const std::string &certificatePath);
    static PackageBatch::Outcome signPackage(const PackageFile &package, const CmsSigner &signer);
    static PackageBatch::Outcome removeSignatures(const PackageFile &package);
    static PackageBatch::Outcome verifyPackage(const PackageFile &package,
                                               const CmsVerifier &verifier);
    static PackageBatch::Outcome unchanged(const std::string &line);
    // The outcome of a package whose header is replaced as PackageFile::replaceHeader does.
    static PackageBatch::Outcome changed(const PackageFile &package,
                                         const RpmHeader &header,
                                         std::unique_ptr<AtomicReplacement> copy,
                                         const std::string &line);
    void reportError(const std::string &path, const std::string &message);

    bool m_failed = false;
};

} // namespace Pkgseal
