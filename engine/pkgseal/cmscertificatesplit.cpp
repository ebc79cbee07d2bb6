#include "cmscertificatesplit.h"

namespace Pkgseal {

namespace {
const uint8_t Sequence = 0x30;
const uint8_t Set = 0x31;
const uint8_t Integer = 0x02;
const uint8_t ObjectIdentifier = 0x06;
const uint8_t ContextZero = 0xa0; // [0], constructed
const size_t MaxLengthBytes = 4;
} // namespace

CmsCertificateSplit::CmsCertificateSplit(const Bytes &der)
    : m_der(der)
{
    m_valid = split();
    if (!m_valid) {
        m_withoutCertificates.clear();
        m_certificates.clear();
    }
}

// ContentInfo ::= SEQUENCE { contentType OID, content [0] EXPLICIT SignedData }
// SignedData ::= SEQUENCE { version INTEGER, digestAlgorithms SET, encapContentInfo SEQUENCE,
//                           certificates [0] IMPLICIT SET OF Certificate, ... }
bool CmsCertificateSplit::split()
{
    Element contentInfo, type, content, signedData, version, digests, encapsulated, field;
    if (!read(0, m_der.size(), Sequence, &contentInfo) || contentInfo.end != m_der.size()
        || !read(contentInfo.contentBegin, contentInfo.end, ObjectIdentifier, &type)
        || !read(type.end, contentInfo.end, ContextZero, &content) || content.end != contentInfo.end
        || !read(content.contentBegin, content.end, Sequence, &signedData)
        || signedData.end != content.end
        || !read(signedData.contentBegin, signedData.end, Integer, &version)
        || !read(version.end, signedData.end, Set, &digests)
        || !read(digests.end, signedData.end, Sequence, &encapsulated)
        || !read(encapsulated.end, signedData.end, ContextZero, &field)
        || !collectCertificates(field)) {
        return false;
    }
    Bytes signedDataContent(m_der.begin() + signedData.contentBegin, m_der.begin() + field.begin);
    signedDataContent.insert(signedDataContent.end(),
                             m_der.begin() + field.end,
                             m_der.begin() + signedData.end);
    Bytes contentInfoContent(m_der.begin() + type.begin, m_der.begin() + type.end);
    const Bytes explicitContent = withHeader(ContextZero, withHeader(Sequence, signedDataContent));
    contentInfoContent.insert(contentInfoContent.end(),
                              explicitContent.begin(),
                              explicitContent.end());
    m_withoutCertificates = withHeader(Sequence, contentInfoContent);
    return true;
}

bool CmsCertificateSplit::read(size_t position, size_t limit, uint8_t tag, Element *element) const
{
    if (position + 2 > limit || m_der[position] != tag)
        return false;
    element->begin = position;
    size_t length = m_der[position + 1];
    size_t cursor = position + 2;
    if (length & 0x80) {
        const size_t lengthBytes = length & 0x7f;
        if (lengthBytes == 0 || lengthBytes > MaxLengthBytes || cursor + lengthBytes > limit)
            return false;
        length = 0;
        for (size_t i = 0; i < lengthBytes; ++i)
            length = length << 8 | m_der[cursor++];
    }
    if (length > limit - cursor)
        return false;
    element->contentBegin = cursor;
    element->end = cursor + length;
    return true;
}

bool CmsCertificateSplit::collectCertificates(const Element &field)
{
    Element certificate;
    for (size_t position = field.contentBegin; position < field.end; position = certificate.end) {
        if (!read(position, field.end, Sequence, &certificate))
            return false;
        m_certificates.emplace_back(m_der.begin() + certificate.begin,
                                    m_der.begin() + certificate.end);
    }
    return true;
}

Bytes CmsCertificateSplit::withHeader(uint8_t tag, const Bytes &content)
{
    Bytes lengthBytes;
    for (size_t length = content.size(); length > 0; length >>= 8)
        lengthBytes.insert(lengthBytes.begin(), uint8_t(length));
    Bytes bytes{tag};
    if (content.size() < 0x80)
        bytes.push_back(uint8_t(content.size()));
    else {
        bytes.push_back(uint8_t(0x80 | lengthBytes.size()));
        bytes.insert(bytes.end(), lengthBytes.begin(), lengthBytes.end());
    }
    bytes.insert(bytes.end(), content.begin(), content.end());
    return bytes;
}

} // namespace Pkgseal
