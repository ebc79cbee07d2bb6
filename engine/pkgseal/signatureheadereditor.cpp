#include "signatureheadereditor.h"

#include "bytes.h"
#include "sealerror.h"

namespace Pkgseal {

namespace {
// Room kept free when a header grows, and the margin a signature may differ from its estimate.
const uint64_t GrowthSlack = 256;
const uint64_t EstimateMargin = 32;
const uint64_t TrailerSize = 16;
} // namespace

SignatureHeaderEditor::SignatureHeaderEditor(const RpmHeader &header)
    : m_header(header)
{
    locateTail();
    if (m_signatureEntry)
        m_blob = SignatureBlob::decode(m_header.binaryData(*m_signatureEntry));
    else if (m_reservedSpace)
        m_blob = SignatureBlob(m_reservedSpace->count, {});
    // Refused here, so that the signatures of every package read can be removed again.
    if (m_tailOffset + m_blob.originalReservedSpace() + TrailerSize
        > RpmHeader::SignatureLimits.maxDataSize) {
        throw FormatError("the package's signatures record an impossible reserved space");
    }
}

// The reserved space and the signatures must be the last entries of the index, in this order,
// and so the last data before the region trailer.
void SignatureHeaderEditor::locateTail()
{
    const std::vector<IndexEntry> &entries = m_header.entries();
    size_t end = entries.size();
    if (end > 1 && entries[end - 1].tag == SignatureTag)
        m_signatureEntry = entries[--end];
    if (end > 1 && entries[end - 1].tag == ReservedSpaceTag)
        m_reservedSpace = entries[--end];
    m_otherEntries.assign(entries.begin() + 1, entries.begin() + end);
    for (const IndexEntry &entry : m_otherEntries) {
        if (entry.tag == SignatureTag || entry.tag == ReservedSpaceTag)
            throw FormatError("unsupported layout of the signature header");
    }
    for (const auto &tail : {m_reservedSpace, m_signatureEntry}) {
        if (tail && tail->type != RpmHeader::Binary)
            throw FormatError("corrupt header entry for tag " + std::to_string(tail->tag));
    }
    if (m_reservedSpace)
        m_tailOffset = uint64_t(m_reservedSpace->offset);
    else if (m_signatureEntry)
        m_tailOffset = uint64_t(m_signatureEntry->offset);
    else
        m_tailOffset = uint64_t(entries.front().offset);
}

// The size of the header with the signatures as its last entry, their data not padded.
uint64_t SignatureHeaderEditor::sizeWithoutFill(uint64_t blobSize) const
{
    const uint64_t entryCount = 1 + m_otherEntries.size() + 1;
    return RpmHeader::IntroSize + entryCount * RpmHeader::EntrySize + m_tailOffset + blobSize
           + TrailerSize;
}

uint64_t SignatureHeaderEditor::plannedSize(uint64_t blobSize) const
{
    const uint64_t needed = sizeWithoutFill(blobSize);
    if (needed + EstimateMargin <= m_header.byteSize())
        return m_header.byteSize();
    return (needed + GrowthSlack + 7) / 8 * 8;
}

RpmHeader SignatureHeaderEditor::withSignatures(const std::vector<Bytes> &signatures,
                                                uint64_t headerSize) const
{
    const SignatureBlob blob(m_blob.originalReservedSpace(), signatures);
    const uint64_t blobSize = blob.encode().size();
    const uint64_t unfilled = sizeWithoutFill(blobSize);
    if (unfilled > headerSize)
        throw SealError("the signatures do not fit into the planned signature header");
    return build(SignatureTag, blob.encode(blobSize + headerSize - unfilled));
}

RpmHeader SignatureHeaderEditor::withoutSignatures() const
{
    return build(ReservedSpaceTag, Bytes(m_blob.originalReservedSpace(), 0));
}

// The header's entries and data up to the tail, then one entry of the tail tag holding tail
// (none when tail is empty), then the region trailer.
RpmHeader SignatureHeaderEditor::build(uint32_t tailTag, const Bytes &tail) const
{
    const uint64_t entryCount = 1 + m_otherEntries.size() + (tail.empty() ? 0 : 1);
    const uint64_t dataSize = m_tailOffset + tail.size() + TrailerSize;
    if (entryCount > RpmHeader::SignatureLimits.maxEntries
        || dataSize > RpmHeader::SignatureLimits.maxDataSize) {
        throw SealError("the signature header would exceed the size rpm accepts");
    }
    std::vector<IndexEntry> entries = {m_header.entries().front()};
    entries.insert(entries.end(), m_otherEntries.begin(), m_otherEntries.end());
    Bytes data(m_header.data().begin(), m_header.data().begin() + m_tailOffset);
    if (!tail.empty()) {
        entries.push_back({tailTag, RpmHeader::Binary, int32_t(data.size()), uint32_t(tail.size())});
        data.insert(data.end(), tail.begin(), tail.end());
    }
    entries.front().offset = int32_t(data.size());
    appendBigEndian32(data, RpmHeader::SignatureRegionTag);
    appendBigEndian32(data, RpmHeader::Binary);
    appendBigEndian32(data, uint32_t(-int32_t(entries.size() * RpmHeader::EntrySize)));
    appendBigEndian32(data, 16);
    return RpmHeader(std::move(entries), std::move(data));
}

} // namespace Pkgseal
