#include "rpmheader.h"

#include "bytes.h"
#include "bytesource.h"
#include "sealerror.h"

#include <cstring>
#include <string>

namespace Pkgseal {

namespace {

const uint8_t HeaderMagic[8] = {0x8e, 0xad, 0xe8, 0x01, 0, 0, 0, 0};

uint64_t alignmentOf(uint32_t type)
{
    switch (type) {
    case RpmHeader::Int16:
        return 2;
    case RpmHeader::Int32:
        return 4;
    case RpmHeader::Int64:
        return 8;
    default:
        return 1;
    }
}

} // namespace

// The limits rpm itself applies when it reads a package.
const RpmHeader::Limits RpmHeader::SignatureLimits = {32, 64u * 1024 * 1024};
const RpmHeader::Limits RpmHeader::MainLimits = {0x10000, 256u * 1024 * 1024};

RpmHeader::RpmHeader(std::vector<IndexEntry> entries, std::vector<uint8_t> data)
    : m_entries(std::move(entries))
    , m_data(std::move(data))
{}

std::vector<IndexEntry> RpmHeader::readIndex(const ByteSource &source,
                                             uint64_t offset,
                                             const Limits &limits,
                                             uint32_t *dataSize)
{
    const std::vector<uint8_t> intro = source.readBytes(offset, IntroSize);
    if (std::memcmp(intro.data(), HeaderMagic, sizeof(HeaderMagic)) != 0)
        throw FormatError("bad header magic at offset " + std::to_string(offset));
    const uint32_t entryCount = readBigEndian32(intro.data() + 8);
    *dataSize = readBigEndian32(intro.data() + 12);
    if (entryCount == 0 || entryCount > limits.maxEntries)
        throw FormatError("header has an invalid number of entries: " + std::to_string(entryCount));
    if (*dataSize > limits.maxDataSize)
        throw FormatError("header data too large: " + std::to_string(*dataSize));
    const std::vector<uint8_t> index = source.readBytes(offset + IntroSize, entryCount * EntrySize);
    std::vector<IndexEntry> entries(entryCount);
    for (uint32_t i = 0; i < entryCount; ++i) {
        const uint8_t *raw = index.data() + i * EntrySize;
        entries[i] = {readBigEndian32(raw),
                      readBigEndian32(raw + 4),
                      int32_t(readBigEndian32(raw + 8)),
                      readBigEndian32(raw + 12)};
    }
    return entries;
}

RpmHeader RpmHeader::read(const ByteSource &source, uint64_t offset, const Limits &limits)
{
    uint32_t dataSize = 0;
    std::vector<IndexEntry> entries = readIndex(source, offset, limits, &dataSize);
    const uint64_t dataOffset = offset + IntroSize + entries.size() * EntrySize;
    RpmHeader header(std::move(entries), source.readBytes(dataOffset, dataSize));
    header.checkEntriesWithinData();
    return header;
}

void RpmHeader::checkEntriesWithinData() const
{
    for (const IndexEntry &entry : m_entries) {
        if (entry.type < Char || entry.type > I18nString || entry.count == 0 || entry.offset < 0
            || uint64_t(entry.offset) + dataLength(entry) > m_data.size()) {
            throw FormatError("corrupt header entry for tag " + std::to_string(entry.tag));
        }
    }
}

RpmHeader RpmHeader::readRegion(const ByteSource &source, uint64_t offset, const Limits &limits)
{
    uint32_t dataSize = 0;
    std::vector<IndexEntry> entries = readIndex(source, offset, limits, &dataSize);
    const uint64_t dataOffset = offset + IntroSize + entries.size() * EntrySize;
    RpmHeader header(std::move(entries), source.readBytes(dataOffset, dataSize));
    header.checkRegion();
    header.checkEntries();
    return header;
}

void RpmHeader::checkRegion() const
{
    const IndexEntry &region = m_entries.front();
    if (region.tag != SignatureRegionTag || region.type != Binary || region.count != 16)
        throw FormatError("signature header has no region tag");
    if (region.offset < 0 || uint64_t(region.offset) + 16 != m_data.size())
        throw FormatError("signature header region does not span the header");
    const uint8_t *trailer = m_data.data() + region.offset;
    const bool trailerMatches = readBigEndian32(trailer) == SignatureRegionTag
                                && readBigEndian32(trailer + 4) == Binary
                                && readBigEndian32(trailer + 12) == 16
                                && -int64_t(int32_t(readBigEndian32(trailer + 8)))
                                       == int64_t(m_entries.size() * EntrySize);
    if (!trailerMatches)
        throw FormatError("signature header region trailer is corrupt");
}

void RpmHeader::checkEntries() const
{
    const uint64_t regionEnd = uint64_t(m_entries.front().offset);
    uint64_t previousEnd = 0;
    for (size_t i = 1; i < m_entries.size(); ++i) {
        const IndexEntry &entry = m_entries[i];
        const std::string what = "corrupt header entry for tag " + std::to_string(entry.tag);
        if (entry.type < Char || entry.type > I18nString || entry.count == 0 || entry.offset < 0)
            throw FormatError(what);
        const uint64_t start = uint64_t(entry.offset);
        if (start < previousEnd || start % alignmentOf(entry.type) != 0 || start >= regionEnd)
            throw FormatError(what);
        previousEnd = start + dataLength(entry);
        if (previousEnd > regionEnd)
            throw FormatError(what);
    }
}

uint64_t RpmHeader::dataLength(const IndexEntry &entry) const
{
    const uint64_t start = uint64_t(entry.offset);
    switch (entry.type) {
    case String:
    case StringArray:
    case I18nString: {
        if (entry.type == String && entry.count != 1)
            return m_data.size() + 1;
        uint64_t position = start;
        for (uint32_t i = 0; i < entry.count; ++i) {
            const void *end = position < m_data.size() ? std::memchr(m_data.data() + position,
                                                                     0,
                                                                     m_data.size() - position)
                                                       : nullptr;
            if (!end)
                return m_data.size() + 1;
            position = uint64_t(static_cast<const uint8_t *>(end) - m_data.data()) + 1;
        }
        return position - start;
    }
    default:
        return uint64_t(entry.count) * alignmentOf(entry.type);
    }
}

const IndexEntry *RpmHeader::find(uint32_t tag) const
{
    for (const IndexEntry &entry : m_entries) {
        if (entry.tag == tag)
            return &entry;
    }
    return nullptr;
}

std::vector<uint8_t> RpmHeader::binaryData(const IndexEntry &entry) const
{
    const auto begin = m_data.begin() + entry.offset;
    return std::vector<uint8_t>(begin, begin + entry.count);
}

std::string RpmHeader::stringValue(uint32_t tag) const
{
    const IndexEntry *entry = find(tag);
    if (!entry || (entry->type != String && entry->type != StringArray))
        return {};
    return reinterpret_cast<const char *>(m_data.data() + entry->offset);
}

uint64_t RpmHeader::integerValue(uint32_t tag) const
{
    const IndexEntry *entry = find(tag);
    if (!entry || (entry->type != Int32 && entry->type != Int64))
        return 0;
    const uint8_t *value = m_data.data() + entry->offset;
    if (entry->type == Int32)
        return readBigEndian32(value);
    return uint64_t(readBigEndian32(value)) << 32 | readBigEndian32(value + 4);
}

uint64_t RpmHeader::byteSize() const
{
    return IntroSize + m_entries.size() * EntrySize + m_data.size();
}

std::vector<uint8_t> RpmHeader::serialize() const
{
    std::vector<uint8_t> bytes(HeaderMagic, HeaderMagic + sizeof(HeaderMagic));
    appendBigEndian32(bytes, uint32_t(m_entries.size()));
    appendBigEndian32(bytes, uint32_t(m_data.size()));
    for (const IndexEntry &entry : m_entries) {
        appendBigEndian32(bytes, entry.tag);
        appendBigEndian32(bytes, entry.type);
        appendBigEndian32(bytes, uint32_t(entry.offset));
        appendBigEndian32(bytes, entry.count);
    }
    bytes.insert(bytes.end(), m_data.begin(), m_data.end());
    return bytes;
}

} // namespace Pkgseal
