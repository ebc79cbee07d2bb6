#pragma once

#include "signatureblob.h"

#include <cstddef>
#include <vector>

namespace Pkgseal {

// A CMS SignedData in DER split into the certificates it carries and the structure without
// them. Decoding a certificate costs much more than decoding the rest of a signature, and the
// packages of one run mostly carry the same few certificates, so these are decoded once.
class CmsCertificateSplit
{
public:
    explicit CmsCertificateSplit(const Bytes &der);

    // False unless the bytes have the usual shape: definite lengths, one ContentInfo and
    // nothing after it, a certificates field whose every element is a plain certificate.
    bool isValid() const { return m_valid; }
    const Bytes &withoutCertificates() const { return m_withoutCertificates; }
    const std::vector<Bytes> &certificates() const { return m_certificates; }

private:
    struct Element
    {
        size_t begin = 0;
        size_t contentBegin = 0;
        size_t end = 0;
    };

    bool split();
    // Reads the element at position, which must end by limit.
    bool read(size_t position, size_t limit, uint8_t tag, Element *element) const;
    bool collectCertificates(const Element &field);
    static Bytes withHeader(uint8_t tag, const Bytes &content);

    const Bytes &m_der;
    bool m_valid = false;
    Bytes m_withoutCertificates;
    std::vector<Bytes> m_certificates;
};

} // namespace Pkgseal
