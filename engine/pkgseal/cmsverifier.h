#pragma once

#include "opensslptr.h"
#include "signatureblob.h"

#include <map>
#include <mutex>
#include <string>

namespace Pkgseal {

class CmsSignature;

// Checks signatures against a bundle of trusted root certificates. Safe to use from several
// threads.
class CmsVerifier
{
public:
    // Throws SealError when the bundle can't be read or holds no certificate.
    explicit CmsVerifier(const std::string &bundlePath);

    // Throws SealError with the reason when the signature, its certificate chain or the content
    // digest (computed with the signature's digest algorithm) doesn't verify.
    void verify(const CmsSignature &signature, const Bytes &contentDigest) const;

private:
    // Throws SealError naming the reason and the certificate when the chain doesn't verify.
    // A chain, the signer with the certificates carried beside it, is checked once per run, when
    // it is first met; the run's later signatures with that chain get the same outcome.
    void checkChain(const CmsSignature &signature) const;
    // Empty when the chain verifies, else why not.
    std::string chainProblem(X509 *signer, STACK_OF(X509) * carried) const;

    CertificateStorePtr m_store;
    mutable std::mutex m_chainMutex;
    mutable std::map<Bytes, std::string> m_chainProblems;
};

} // namespace Pkgseal
