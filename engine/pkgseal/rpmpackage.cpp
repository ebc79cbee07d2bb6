#include "rpmpackage.h"

#include "bytesource.h"
#include "sealerror.h"

namespace Pkgseal {

namespace {
const uint8_t LeadMagic[4] = {0xed, 0xab, 0xee, 0xdb};
const uint8_t HeaderSignatureType = 5;
} // namespace

RpmPackage RpmPackage::read(const ByteSource &source)
{
    RpmPackage package;
    if (source.size() < LeadSize)
        throw FormatError("not an RPM package (file too short)");
    package.m_lead = source.readBytes(0, LeadSize);
    checkLead(package.m_lead);
    package.m_signatureHeader = RpmHeader::readRegion(source, LeadSize, RpmHeader::SignatureLimits);
    package.m_contentOffset = LeadSize + paddedSize(package.m_signatureHeader.byteSize());
    const uint64_t mainHeaderSize = RpmHeader::readSize(source,
                                                        package.m_contentOffset,
                                                        RpmHeader::MainLimits);
    if (source.size() < package.m_contentOffset + mainHeaderSize)
        throw FormatError("package is truncated");
    package.m_contentSize = source.size() - package.m_contentOffset;
    return package;
}

uint64_t RpmPackage::paddedSize(uint64_t signatureHeaderSize)
{
    return (signatureHeaderSize + 7) / 8 * 8;
}

void RpmPackage::checkLead(const std::vector<uint8_t> &lead)
{
    for (size_t i = 0; i < sizeof(LeadMagic); ++i) {
        if (lead[i] != LeadMagic[i])
            throw FormatError("not an RPM package");
    }
    const uint8_t major = lead[4];
    const unsigned signatureType = unsigned(lead[78]) << 8 | lead[79];
    if (major < 3 || major > 4 || signatureType != HeaderSignatureType)
        throw FormatError("unsupported RPM lead (version " + std::to_string(major) + ")");
}

} // namespace Pkgseal
