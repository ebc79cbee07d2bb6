#include "cmsverifier.h"

#include "cmssignature.h"
#include "sealerror.h"
#include "signerdescription.h"

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
    checkChain(signature);
    // The content was hashed while streaming; OpenSSL checks the signature over the signed
    // attributes, which hold that digest.
    BioPtr noContent(BIO_new_mem_buf("", 0));
    const unsigned flags = CMS_BINARY | CMS_NO_CONTENT_VERIFY | CMS_NO_SIGNER_CERT_VERIFY;
    if (CMS_verify(signature.cms(), nullptr, m_store.get(), noContent.get(), nullptr, flags) != 1)
        throw SealError("the signature does not verify (" + lastOpenSslError() + ")");
    if (signedDigest.size() != contentDigest.size()
        || CRYPTO_memcmp(signedDigest.data(), contentDigest.data(), contentDigest.size()) != 0)
        throw SealError("the package content does not match the signature");
}

namespace {

void appendEncoding(Bytes &bytes, X509 *certificate)
{
    unsigned char *der = nullptr;
    const int length = i2d_X509(certificate, &der);
    if (length < 0)
        throw SealError("cannot encode a certificate (" + lastOpenSslError() + ")");
    bytes.insert(bytes.end(), der, der + length);
    OPENSSL_free(der);
}

} // namespace

void CmsVerifier::checkChain(const CmsSignature &signature) const
{
    const CertificateStackPtr carried(CMS_get1_certs(signature.cms()));
    Bytes chain;
    appendEncoding(chain, signature.signer());
    for (int i = 0; i < sk_X509_num(carried.get()); ++i)
        appendEncoding(chain, sk_X509_value(carried.get(), i));
    std::unique_lock<std::mutex> lock(m_chainMutex);
    auto known = m_chainProblems.find(chain);
    if (known == m_chainProblems.end()) {
        lock.unlock();
        const std::string problem = chainProblem(signature.signer(), carried.get());
        lock.lock();
        known = m_chainProblems.emplace(std::move(chain), problem).first;
    }
    if (!known->second.empty())
        throw SealError(known->second);
}

std::string CmsVerifier::chainProblem(X509 *signer, STACK_OF(X509) * carried) const
{
    const StoreContextPtr context(X509_STORE_CTX_new());
    if (!context || X509_STORE_CTX_init(context.get(), m_store.get(), signer, carried) != 1)
        throw SealError("cannot check the certificate chain (" + lastOpenSslError() + ")");
    if (X509_verify_cert(context.get()) == 1)
        return {};
    std::string message = std::string("the certificate chain does not verify: ")
                          + X509_verify_cert_error_string(X509_STORE_CTX_get_error(context.get()));
    if (X509 *certificate = X509_STORE_CTX_get_current_cert(context.get())) {
        message += " (" + SignerDescription(certificate).subject() + ", "
                   + SignerDescription::validity(certificate) + ")";
    }
    ERR_clear_error();
    return message;
}

} // namespace Pkgseal
