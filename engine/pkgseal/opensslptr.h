#pragma once

#include <openssl/bio.h>
#include <openssl/cms.h>
#include <openssl/engine.h>
#include <openssl/evp.h>
#include <openssl/x509.h>

#include <memory>
#include <string>

namespace Pkgseal {

template<typename T, void (*Free)(T *)>
struct OpenSslDeleter
{
    void operator()(T *object) const { Free(object); }
};

template<typename T, void (*Free)(T *)>
using OpenSslPtr = std::unique_ptr<T, OpenSslDeleter<T, Free>>;

inline void freeBio(BIO *bio)
{
    BIO_free_all(bio);
}

inline void freeCertificateStack(STACK_OF(X509) * stack)
{
    sk_X509_pop_free(stack, X509_free);
}

using BioPtr = OpenSslPtr<BIO, freeBio>;
using CmsPtr = OpenSslPtr<CMS_ContentInfo, CMS_ContentInfo_free>;
using DigestContextPtr = OpenSslPtr<EVP_MD_CTX, EVP_MD_CTX_free>;
using KeyPtr = OpenSslPtr<EVP_PKEY, EVP_PKEY_free>;
using CertificatePtr = OpenSslPtr<X509, X509_free>;
using CertificateStackPtr = OpenSslPtr<STACK_OF(X509), freeCertificateStack>;
using CertificateStorePtr = OpenSslPtr<X509_STORE, X509_STORE_free>;
using StoreContextPtr = OpenSslPtr<X509_STORE_CTX, X509_STORE_CTX_free>;

// The reason of the most recent OpenSSL error, or an empty string; clears the error queue.
std::string lastOpenSslError();

} // namespace Pkgseal
