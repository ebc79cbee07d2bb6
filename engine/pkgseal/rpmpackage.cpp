#include "rpmpackage.h"

#include "bytesource.h"
#include "sealerror.h"

namespace Pkgseal {

namespace {
const uint8_t LeadMagic[4] = {0xed, 0xab, 0xee, 0xdb};
const uint8_t HeaderSignatureType = 5;

// Tags of rpm's signature header and main header, and its numbers of hash algorithms.
const uint32_t SizeTag = 1000;
const uint32_t LongSizeTag = 270;
const uint32_t HeaderSha1Tag = 269;
const uint32_t HeaderSha256Tag = 273;
const uint32_t PayloadDigestTag = 5092;
const uint32_t PayloadDigestAlgorithmTag = 5093;
const uint32_t Sha1Algorithm = 2;
const uint32_t Sha256Algorithm = 8;
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
    package.m_mainHeader = RpmHeader::read(source, package.m_contentOffset, RpmHeader::MainLimits);
    package.m_contentSize = source.size() - package.m_contentOffset;
    return package;
}

uint64_t RpmPackage::recordedContentSize() const
{
    const uint64_t longSize = m_signatureHeader.integerValue(LongSizeTag);
    return longSize != 0 ? longSize : m_signatureHeader.integerValue(SizeTag);
}

RpmPackage::RecordedDigest RpmPackage::recordedHeaderDigest() const
{
    const std::string sha256 = m_signatureHeader.stringValue(HeaderSha256Tag);
    if (!sha256.empty())
        return {Sha256Algorithm, sha256};
    return {Sha1Algorithm, m_signatureHeader.stringValue(HeaderSha1Tag)};
}

RpmPackage::RecordedDigest RpmPackage::recordedPayloadDigest() const
{
    return {uint32_t(m_mainHeader.integerValue(PayloadDigestAlgorithmTag)),
            m_mainHeader.stringValue(PayloadDigestTag)};
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
