#pragma once

#include <cstdint>
#include <vector>

namespace Pkgseal {

using Bytes = std::vector<uint8_t>;

// The content of the package's own signature tag: the DER encoded CMS signatures in the order
// they were added, and the size the reserved space had before the first one was added.
// Layout (big endian): "PKSL", version byte, three zero bytes, original reserved size,
// signature count, then length and bytes of each signature, then zero padding.
class SignatureBlob
{
public:
    // The most signatures a package holds; the reader and the writer share this limit.
    static constexpr uint32_t MaxSignatures = 64;

    SignatureBlob() = default;
    SignatureBlob(uint32_t originalReservedSpace, std::vector<Bytes> signatures);

    static SignatureBlob decode(const Bytes &bytes);
    static uint64_t encodedSize(const std::vector<uint64_t> &signatureSizes);

    // Throws SealError for more than MaxSignatures signatures.
    Bytes encode(uint64_t paddedLength = 0) const;

    uint32_t originalReservedSpace() const { return m_originalReservedSpace; }
    const std::vector<Bytes> &signatures() const { return m_signatures; }

private:
    uint32_t m_originalReservedSpace = 0;
    std::vector<Bytes> m_signatures;
};

} // namespace Pkgseal
