#include "cmsverifier.h"

#include "cmssignature.h"
#include "sealerror.h"

#include <openssl/crypto.h>
#include <openssl/err.h>

#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace Pkgseal {

CmsVerifier::CmsVerifier(const std::string &bundlePath)
    : m_store(X509_STORE_new())
{
    if (::access(bundlePath.c_str(), R_OK) != 0) {
        throw SealError(bundlePath
                        + ": cannot read the root certificate bundle: " + std::strerror(errno));
    }
    if (!m_store || X509_STORE_load_file(m_store.get(), bundlePath.c_str()) != 1)
        throw SealError(bundlePath + ": cannot read the root certificate bundle ("
                        + lastOpenSslError() + ")");
    // Signing certificates are issued for package signing, not for mail; trust comes from
    // the chain to a root of the bundle.
    X509_STORE_set_purpose(m_store.get(), X509_PURPOSE_ANY);
}

void CmsVerifier::verify(const CmsSignature &signature, const Bytes &contentDigest) const
{
    const Bytes signedDigest = signature.signedDigest();
    if (signedDigest.empty())
        throw SealError("the signature has no signed content digest");
    // The content was hashed while streaming; OpenSSL checks the chain and the signature over
    // the signed attributes, which hold that digest.
    BioPtr noContent(BIO_new_mem_buf("", 0));
    const unsigned flags = CMS_BINARY | CMS_NO_CONTENT_VERIFY;
    if (CMS_verify(signature.cms(), nullptr, m_store.get(), noContent.get(), nullptr, flags) != 1)
        throw SealError("the signature does not verify (" + lastOpenSslError() + ")");
    if (signedDigest.size() != contentDigest.size()
        || CRYPTO_memcmp(signedDigest.data(), contentDigest.data(), contentDigest.size()) != 0)
        throw SealError("the package content does not match the signature");
}

} // namespace Pkgseal
