#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace Pkgseal {

class ByteSource;

// One entry of a header's index, in host byte order.
struct IndexEntry
{
    uint32_t tag = 0;
    uint32_t type = 0;
    int32_t offset = 0;
    uint32_t count = 0;
};

// An RPM header structure (magic, index, data store) as stored in a package.
class RpmHeader
{
public:
    enum Type : uint32_t {
        Char = 1,
        Int8 = 2,
        Int16 = 3,
        Int32 = 4,
        Int64 = 5,
        String = 6,
        Binary = 7,
        StringArray = 8,
        I18nString = 9
    };

    struct Limits
    {
        uint32_t maxEntries;
        uint32_t maxDataSize;
    };

    static constexpr uint64_t IntroSize = 16;
    static constexpr uint64_t EntrySize = 16;
    static constexpr uint32_t SignatureRegionTag = 62;
    static const Limits SignatureLimits;
    static const Limits MainLimits;

    RpmHeader() = default;
    RpmHeader(std::vector<IndexEntry> entries, std::vector<uint8_t> data);

    // Reads a header that starts with a region tag and checks all of it.
    static RpmHeader readRegion(const ByteSource &source, uint64_t offset, const Limits &limits);
    // Reads any header and checks that each entry lies within its data.
    static RpmHeader read(const ByteSource &source, uint64_t offset, const Limits &limits);

    const std::vector<IndexEntry> &entries() const { return m_entries; }
    const std::vector<uint8_t> &data() const { return m_data; }
    const IndexEntry *find(uint32_t tag) const;
    std::vector<uint8_t> binaryData(const IndexEntry &entry) const;
    // The first value of a tag of string or integer type; empty or 0 when there is none.
    std::string stringValue(uint32_t tag) const;
    uint64_t integerValue(uint32_t tag) const;

    uint64_t byteSize() const;
    std::vector<uint8_t> serialize() const;

private:
    static std::vector<IndexEntry> readIndex(const ByteSource &source,
                                             uint64_t offset,
                                             const Limits &limits,
                                             uint32_t *dataSize);
    void checkEntriesWithinData() const;
    void checkEntries() const;
    void checkRegion() const;
    uint64_t dataLength(const IndexEntry &entry) const;

    std::vector<IndexEntry> m_entries;
    std::vector<uint8_t> m_data;
};

} // namespace Pkgseal
