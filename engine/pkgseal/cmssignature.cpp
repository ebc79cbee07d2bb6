#include "cmssignature.h"

#include "certificatecache.h"
#include "cmscertificatesplit.h"
#include "sealerror.h"

#include <openssl/err.h>

namespace Pkgseal {

namespace {

std::string objectName(const ASN1_OBJECT *object)
{
    const int id = OBJ_obj2nid(object);
    if (id != NID_undef)
        return OBJ_nid2sn(id);
    char text[128];
    OBJ_obj2txt(text, sizeof(text), object, 1);
    return text;
}

bool isSignedData(const CmsPtr &cms)
{
    return cms && OBJ_obj2nid(CMS_get0_type(cms.get())) == NID_pkcs7_signed;
}

// The CMS structure that all of der encodes, or null.
CmsPtr decodeWhole(const Bytes &der)
{
    const unsigned char *cursor = der.data();
    CmsPtr cms(d2i_CMS_ContentInfo(nullptr, &cursor, long(der.size())));
    if (cms && cursor != der.data() + der.size())
        cms.reset();
    return cms;
}

// The same structure as decodeWhole() gives, with certificates decoded once per run; null when
// der doesn't have the usual shape, which decodeWhole() then judges.
CmsPtr decodeSharingCertificates(const Bytes &der)
{
    const CmsCertificateSplit split(der);
    if (!split.isValid())
        return nullptr;
    CmsPtr cms = decodeWhole(split.withoutCertificates());
    if (!isSignedData(cms))
        return nullptr;
    for (const Bytes &certificateDer : split.certificates()) {
        const CertificatePtr certificate = CertificateCache::shared().certificate(certificateDer);
        if (!certificate || CMS_add1_cert(cms.get(), certificate.get()) != 1)
            return nullptr;
    }
    return cms;
}

} // namespace

CmsSignature::CmsSignature(const Bytes &der)
    : m_cms(decodeSharingCertificates(der))
{
    if (!m_cms) {
        ERR_clear_error();
        m_cms = decodeWhole(der);
    }
    if (!isSignedData(m_cms)) {
        ERR_clear_error();
        throw FormatError("a stored signature is corrupt");
    }
    STACK_OF(CMS_SignerInfo) *signerInfos = CMS_get0_SignerInfos(m_cms.get());
    if (sk_CMS_SignerInfo_num(signerInfos) != 1)
        throw FormatError("a stored signature does not have exactly one signer");
    m_signerInfo = sk_CMS_SignerInfo_value(signerInfos, 0);
    CMS_set1_signers_certs(m_cms.get(), nullptr, 0);
    ERR_clear_error();
    CMS_SignerInfo_get0_algs(m_signerInfo, nullptr, &m_signer, nullptr, nullptr);
    if (!m_signer)
        throw FormatError("a stored signature does not carry its signer's certificate");
}

const EVP_MD *CmsSignature::digestAlgorithm() const
{
    X509_ALGOR *digest = nullptr;
    CMS_SignerInfo_get0_algs(m_signerInfo, nullptr, nullptr, &digest, nullptr);
    const ASN1_OBJECT *object = nullptr;
    X509_ALGOR_get0(&object, nullptr, nullptr, digest);
    return EVP_get_digestbyobj(object);
}

Bytes CmsSignature::signedDigest() const
{
    const ASN1_OCTET_STRING *digest = static_cast<const ASN1_OCTET_STRING *>(
        CMS_signed_get0_data_by_OBJ(m_signerInfo,
                                    OBJ_nid2obj(NID_pkcs9_messageDigest),
                                    -3,
                                    V_ASN1_OCTET_STRING));
    if (!digest)
        return {};
    const unsigned char *data = ASN1_STRING_get0_data(digest);
    return Bytes(data, data + ASN1_STRING_length(digest));
}

std::string CmsSignature::algorithmName() const
{
    X509_ALGOR *digest = nullptr;
    X509_ALGOR *signature = nullptr;
    CMS_SignerInfo_get0_algs(m_signerInfo, nullptr, nullptr, &digest, &signature);
    const ASN1_OBJECT *digestObject = nullptr;
    const ASN1_OBJECT *signatureObject = nullptr;
    X509_ALGOR_get0(&digestObject, nullptr, nullptr, digest);
    X509_ALGOR_get0(&signatureObject, nullptr, nullptr, signature);
    return objectName(signatureObject) + " with " + objectName(digestObject);
}

} // namespace Pkgseal
