#include "cmssigner.h"

#include "sealerror.h"

#include <openssl/err.h>

namespace Pkgseal {

CmsSigner::CmsSigner(std::vector<CertificatePtr> certificates, KeyPtr key)
    : m_certificates(std::move(certificates))
    , m_key(std::move(key))
{
    int digestId = NID_undef;
    if (EVP_PKEY_get_default_digest_nid(m_key.get(), &digestId) <= 0 || digestId == NID_undef)
        digestId = NID_sha256;
    m_digest = EVP_get_digestbynid(digestId);
    if (!m_digest)
        throw SealError(std::string("no digest available for keys of type ")
                        + EVP_PKEY_get0_type_name(m_key.get()));
}

bool CmsSigner::belongTogether(X509 *certificate, EVP_PKEY *key)
{
    const bool match = X509_check_private_key(certificate, key) == 1;
    ERR_clear_error();
    return match;
}

Bytes CmsSigner::sign(const Bytes &contentDigest) const
{
    const unsigned flags = CMS_PARTIAL | CMS_DETACHED | CMS_BINARY | CMS_NOSMIMECAP;
    CmsPtr cms(CMS_sign(nullptr, nullptr, nullptr, nullptr, flags));
    CMS_SignerInfo *signerInfo
        = cms ? CMS_add1_signer(cms.get(), certificate(), m_key.get(), m_digest, flags) : nullptr;
    bool ok = signerInfo && CMS_set_detached(cms.get(), 1);
    for (size_t i = 1; ok && i < m_certificates.size(); ++i)
        ok = CMS_add1_cert(cms.get(), m_certificates[i].get());
    ok = ok
         && CMS_signed_add1_attr_by_NID(signerInfo,
                                        NID_pkcs9_contentType,
                                        V_ASN1_OBJECT,
                                        OBJ_nid2obj(NID_pkcs7_data),
                                        -1)
         && CMS_signed_add1_attr_by_NID(signerInfo,
                                        NID_pkcs9_messageDigest,
                                        V_ASN1_OCTET_STRING,
                                        contentDigest.data(),
                                        int(contentDigest.size()))
         && CMS_SignerInfo_sign(signerInfo) == 1;
    unsigned char *der = nullptr;
    const int length = ok ? i2d_CMS_ContentInfo(cms.get(), &der) : -1;
    if (length <= 0)
        throw SealError("cannot sign: " + lastOpenSslError());
    Bytes signature(der, der + length);
    OPENSSL_free(der);
    return signature;
}

uint64_t CmsSigner::estimatedSize() const
{
    if (m_estimatedSize == 0)
        m_estimatedSize = sign(Bytes(size_t(EVP_MD_get_size(m_digest)), 0)).size();
    return m_estimatedSize;
}

} // namespace Pkgseal
