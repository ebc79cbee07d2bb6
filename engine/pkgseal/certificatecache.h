#pragma once

#include "opensslptr.h"
#include "signatureblob.h"

#include <map>
#include <mutex>

namespace Pkgseal {

// Certificates decoded once per distinct encoding and shared by all their users, on any
// thread. A certificate is never changed once decoded, so sharing one is safe.
class CertificateCache
{
public:
    static CertificateCache &shared();

    // A reference to the certificate that der encodes; null when der is not exactly one
    // certificate.
    CertificatePtr certificate(const Bytes &der);

private:
    std::mutex m_mutex;
    std::map<Bytes, CertificatePtr> m_certificates;
};

} // namespace Pkgseal
