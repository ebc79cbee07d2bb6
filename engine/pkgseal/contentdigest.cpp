#include "contentdigest.h"

#include "sealerror.h"

namespace Pkgseal {

ContentDigest::ContentDigest(const EVP_MD *algorithm)
    : m_algorithm(algorithm)
    , m_context(EVP_MD_CTX_new())
{
    if (!m_context || EVP_DigestInit_ex(m_context.get(), algorithm, nullptr) != 1)
        throw SealError("cannot compute a digest: " + lastOpenSslError());
}

void ContentDigest::update(const uint8_t *data, size_t length)
{
    if (EVP_DigestUpdate(m_context.get(), data, length) != 1)
        throw SealError("cannot compute a digest: " + lastOpenSslError());
}

Bytes ContentDigest::finish()
{
    Bytes digest(EVP_MAX_MD_SIZE);
    unsigned length = 0;
    if (EVP_DigestFinal_ex(m_context.get(), digest.data(), &length) != 1)
        throw SealError("cannot compute a digest: " + lastOpenSslError());
    digest.resize(length);
    return digest;
}

} // namespace Pkgseal
