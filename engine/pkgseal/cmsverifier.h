#pragma once

#include "opensslptr.h"
#include "signatureblob.h"

#include <string>

namespace Pkgseal {

class CmsSignature;

// Checks signatures against a bundle of trusted root certificates.
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
    void checkChain(const CmsSignature &signature) const;

    CertificateStorePtr m_store;
};

} // namespace Pkgseal
