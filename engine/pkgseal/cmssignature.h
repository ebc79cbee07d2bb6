#pragma once

#include "opensslptr.h"
#include "signatureblob.h"

#include <string>

namespace Pkgseal {

// One stored signature: a detached CMS SignedData with a single signer.
class CmsSignature
{
public:
    // Throws FormatError when the bytes are no such signature.
    explicit CmsSignature(const Bytes &der);

    CMS_ContentInfo *cms() const { return m_cms.get(); }
    // The signer's certificate as carried in the signature.
    X509 *signer() const { return m_signer; }
    // Null when the digest algorithm is unknown here.
    const EVP_MD *digestAlgorithm() const;
    // The content digest that the signer signed; empty without signed attributes.
    Bytes signedDigest() const;
    std::string algorithmName() const;

private:
    CmsPtr m_cms;
    CMS_SignerInfo *m_signerInfo = nullptr;
    X509 *m_signer = nullptr;
};

} // namespace Pkgseal
