#pragma once

#include "rpmheader.h"
#include "signatureblob.h"

#include <optional>

namespace Pkgseal {

// Puts the signatures into a package's signature header and takes them out again.
// The signatures live in a binary tag of their own that takes the place of rpm's reserved space,
// its index entry and its data, so that the header keeps its size while they fit, and a first
// signature changes only that entry and the bytes it fills. Removing them gives the reserved
// space back exactly as it was. Headers that hold the signatures after a shrunk reserved space
// (as pkgseal wrote them before) are read and changed too.
class SignatureHeaderEditor
{
public:
    static constexpr uint32_t SignatureTag = 0x5ea1;
    static constexpr uint32_t ReservedSpaceTag = 1008;

    explicit SignatureHeaderEditor(const RpmHeader &header);

    const std::vector<Bytes> &signatures() const { return m_blob.signatures(); }

    // The size of a header that holds signatures of the given total encoded size: the present
    // size if they fit into it with room to spare, else a grown size.
    uint64_t plannedSize(uint64_t blobSize) const;
    // The header with these signatures, exactly headerSize bytes long; throws if they don't fit
    // or are too many.
    RpmHeader withSignatures(const std::vector<Bytes> &signatures, uint64_t headerSize) const;
    RpmHeader withoutSignatures() const;

private:
    void locateTail();
    uint64_t sizeWithoutFill(uint64_t blobSize) const;
    RpmHeader build(uint32_t tailTag, const Bytes &tail) const;

    const RpmHeader &m_header;
    std::optional<IndexEntry> m_reservedSpace;
    std::optional<IndexEntry> m_signatureEntry;
    std::vector<IndexEntry> m_otherEntries;
    uint64_t m_tailOffset = 0;
    SignatureBlob m_blob;
};

} // namespace Pkgseal
