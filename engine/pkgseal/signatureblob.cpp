#include "signatureblob.h"

#include "bytes.h"
#include "sealerror.h"

#include <algorithm>
#include <cstring>

namespace Pkgseal {

namespace {
const uint8_t BlobMagic[4] = {'P', 'K', 'S', 'L'};
const uint8_t BlobVersion = 1;
const uint64_t BlobIntroSize = 16;
} // namespace

SignatureBlob::SignatureBlob(uint32_t originalReservedSpace, std::vector<Bytes> signatures)
    : m_originalReservedSpace(originalReservedSpace)
    , m_signatures(std::move(signatures))
{}

SignatureBlob SignatureBlob::decode(const Bytes &bytes)
{
    if (bytes.size() < BlobIntroSize || std::memcmp(bytes.data(), BlobMagic, 4) != 0
        || bytes[4] != BlobVersion) {
        throw FormatError("unknown format of the package's signatures");
    }
    SignatureBlob blob;
    blob.m_originalReservedSpace = readBigEndian32(bytes.data() + 8);
    const uint32_t count = readBigEndian32(bytes.data() + 12);
    if (count == 0 || count > MaxSignatures)
        throw FormatError("invalid number of signatures: " + std::to_string(count));
    uint64_t position = BlobIntroSize;
    for (uint32_t i = 0; i < count; ++i) {
        if (bytes.size() - position < 4)
            throw FormatError("signature list is truncated");
        const uint32_t length = readBigEndian32(bytes.data() + position);
        position += 4;
        if (length == 0 || length > bytes.size() - position)
            throw FormatError("signature list is truncated");
        blob.m_signatures.emplace_back(bytes.begin() + position, bytes.begin() + position + length);
        position += length;
    }
    if (!std::all_of(bytes.begin() + position, bytes.end(), [](uint8_t b) { return b == 0; }))
        throw FormatError("signature list has trailing data");
    return blob;
}

uint64_t SignatureBlob::encodedSize(const std::vector<uint64_t> &signatureSizes)
{
    uint64_t size = BlobIntroSize;
    for (uint64_t signatureSize : signatureSizes)
        size += 4 + signatureSize;
    return size;
}

Bytes SignatureBlob::encode(uint64_t paddedLength) const
{
    if (m_signatures.size() > MaxSignatures)
        throw SealError("a package holds at most " + std::to_string(MaxSignatures) + " signatures");
    Bytes bytes;
    bytes.reserve(std::max(paddedLength, encodedSize({})));
    bytes.insert(bytes.end(), BlobMagic, BlobMagic + 4);
    bytes.insert(bytes.end(), {BlobVersion, 0, 0, 0});
    appendBigEndian32(bytes, m_originalReservedSpace);
    appendBigEndian32(bytes, uint32_t(m_signatures.size()));
    for (const Bytes &signature : m_signatures) {
        appendBigEndian32(bytes, uint32_t(signature.size()));
        bytes.insert(bytes.end(), signature.begin(), signature.end());
    }
    if (bytes.size() < paddedLength)
        bytes.resize(paddedLength, 0);
    return bytes;
}

} // namespace Pkgseal
