#pragma once

#include "contentdigest.h"
#include "rpmpackage.h"

#include <memory>
#include <string>

namespace Pkgseal {

// Checks a package against what rpm's own tags record: the size of the signed content, the digest
// of the main header and the digest of the payload. The content is handed in as it streams by,
// from its start; a package that disagrees is damaged, whatever its signatures say.
class PackageIntegrity
{
public:
    explicit PackageIntegrity(const RpmPackage &package);

    // Throws FormatError when the content's size is not the recorded one.
    void checkSize() const;
    void update(const uint8_t *data, size_t length);
    // Throws FormatError when a digest disagrees.
    void finish();

private:
    struct Check
    {
        std::string part;
        std::unique_ptr<ContentDigest> digest;
        std::string expectedHex;
        uint64_t begin;
        uint64_t end;
    };

    void addCheck(const std::string &part,
                  const RpmPackage::RecordedDigest &recorded,
                  uint64_t begin,
                  uint64_t end);

    const RpmPackage &m_package;
    std::vector<Check> m_checks;
    uint64_t m_position = 0;
};

} // namespace Pkgseal
