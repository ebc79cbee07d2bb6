#pragma once

#include "opensslptr.h"
#include "signatureblob.h"

#include <vector>

namespace Pkgseal {

// Makes detached CMS signatures over a precomputed content digest, with the signer's
// certificate (and any further certificates of its file) included.
class CmsSigner
{
public:
    // The key must belong to the first certificate.
    CmsSigner(std::vector<CertificatePtr> certificates, KeyPtr key);

    static bool belongTogether(X509 *certificate, EVP_PKEY *key);

    X509 *certificate() const { return m_certificates.front().get(); }
    const EVP_MD *digestAlgorithm() const { return m_digest; }

    Bytes sign(const Bytes &contentDigest) const;
    // The size of a signature by this signer, learnt from a trial signature.
    uint64_t estimatedSize() const;

private:
    std::vector<CertificatePtr> m_certificates;
    KeyPtr m_key;
    const EVP_MD *m_digest = nullptr;
    mutable uint64_t m_estimatedSize = 0;
};

} // namespace Pkgseal
