#include "certificatecache.h"

#include <openssl/err.h>

namespace Pkgseal {

CertificateCache &CertificateCache::shared()
{
    static CertificateCache cache;
    return cache;
}

CertificatePtr CertificateCache::certificate(const Bytes &der)
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    auto known = m_certificates.find(der);
    if (known == m_certificates.end()) {
        const unsigned char *cursor = der.data();
        CertificatePtr decoded(d2i_X509(nullptr, &cursor, long(der.size())));
        if (!decoded || cursor != der.data() + der.size()) {
            ERR_clear_error();
            return nullptr;
        }
        known = m_certificates.emplace(der, std::move(decoded)).first;
    }
    X509_up_ref(known->second.get());
    return CertificatePtr(known->second.get());
}

} // namespace Pkgseal
