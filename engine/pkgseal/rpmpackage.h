#pragma once

#include "rpmheader.h"

#include <cstdint>
#include <string>
#include <vector>

namespace Pkgseal {

class ByteSource;

// The parts of an RPM file: lead, signature header, and the signed content (main header and
// payload), of which the main header and the position of the payload are kept.
class RpmPackage
{
public:
    static constexpr uint64_t LeadSize = 96;

    // A digest as rpm records it: rpm's number of the hash algorithm, the digest in hex.
    struct RecordedDigest
    {
        uint32_t algorithm = 0;
        std::string hex;
    };

    static RpmPackage read(const ByteSource &source);
    static uint64_t paddedSize(uint64_t signatureHeaderSize);

    const std::vector<uint8_t> &lead() const { return m_lead; }
    const RpmHeader &signatureHeader() const { return m_signatureHeader; }
    const RpmHeader &mainHeader() const { return m_mainHeader; }
    uint64_t contentOffset() const { return m_contentOffset; }
    uint64_t contentSize() const { return m_contentSize; }

    // What rpm's own tags record about the signed content; 0 or empty where they are missing.
    uint64_t recordedContentSize() const;
    RecordedDigest recordedHeaderDigest() const;
    RecordedDigest recordedPayloadDigest() const;

private:
    static void checkLead(const std::vector<uint8_t> &lead);

    std::vector<uint8_t> m_lead;
    RpmHeader m_signatureHeader;
    RpmHeader m_mainHeader;
    uint64_t m_contentOffset = 0;
    uint64_t m_contentSize = 0;
};

} // namespace Pkgseal
