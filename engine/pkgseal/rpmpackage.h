#pragma once

#include "rpmheader.h"

#include <cstdint>
#include <vector>

namespace Pkgseal {

class ByteSource;

// The parts of an RPM file: lead, signature header, and the signed content (main header and
// payload), of which only the position is kept.
class RpmPackage
{
public:
    static constexpr uint64_t LeadSize = 96;

    static RpmPackage read(const ByteSource &source);
    static uint64_t paddedSize(uint64_t signatureHeaderSize);

    const std::vector<uint8_t> &lead() const { return m_lead; }
    const RpmHeader &signatureHeader() const { return m_signatureHeader; }
    uint64_t contentOffset() const { return m_contentOffset; }
    uint64_t contentSize() const { return m_contentSize; }

private:
    static void checkLead(const std::vector<uint8_t> &lead);

    std::vector<uint8_t> m_lead;
    RpmHeader m_signatureHeader;
    uint64_t m_contentOffset = 0;
    uint64_t m_contentSize = 0;
};

} // namespace Pkgseal
