#pragma once

#include "opensslptr.h"
#include "signatureblob.h"

namespace Pkgseal {

// A digest computed while the signed content streams by.
class ContentDigest
{
public:
    explicit ContentDigest(const EVP_MD *algorithm);

    int algorithmId() const { return EVP_MD_get_type(m_algorithm); }
    void update(const uint8_t *data, size_t length);
    Bytes finish();

private:
    const EVP_MD *m_algorithm;
    DigestContextPtr m_context;
};

} // namespace Pkgseal
