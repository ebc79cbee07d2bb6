#include "packageintegrity.h"

#include "sealerror.h"
#include "signerdescription.h"

#include <algorithm>
#include <cctype>

namespace Pkgseal {

namespace {

// rpm's numbers of hash algorithms.
const EVP_MD *digestOf(uint32_t rpmAlgorithm)
{
    switch (rpmAlgorithm) {
    case 1:
        return EVP_md5();
    case 2:
        return EVP_sha1();
    case 8:
        return EVP_sha256();
    case 9:
        return EVP_sha384();
    case 10:
        return EVP_sha512();
    case 11:
        return EVP_sha224();
    default:
        return nullptr;
    }
}

FormatError damaged(const std::string &reason)
{
    return FormatError("the package is damaged: " + reason);
}

} // namespace

PackageIntegrity::PackageIntegrity(const RpmPackage &package)
    : m_package(package)
{
    const uint64_t headerSize = package.mainHeader().byteSize();
    addCheck("main header", package.recordedHeaderDigest(), 0, headerSize);
    addCheck("payload", package.recordedPayloadDigest(), headerSize, package.contentSize());
}

void PackageIntegrity::addCheck(const std::string &part,
                                const RpmPackage::RecordedDigest &recorded,
                                uint64_t begin,
                                uint64_t end)
{
    if (recorded.hex.empty())
        return;
    const EVP_MD *algorithm = digestOf(recorded.algorithm);
    if (!algorithm) {
        throw damaged("its " + part + " digest has an unknown algorithm ("
                      + std::to_string(recorded.algorithm) + ")");
    }
    std::string hex = recorded.hex;
    std::transform(hex.begin(), hex.end(), hex.begin(), [](unsigned char c) {
        return char(std::toupper(c));
    });
    m_checks.push_back({part, std::make_unique<ContentDigest>(algorithm), hex, begin, end});
}

void PackageIntegrity::checkSize() const
{
    const uint64_t recorded = m_package.recordedContentSize();
    const uint64_t actual = m_package.contentSize();
    if (recorded != 0 && recorded != actual) {
        throw damaged("it is " + std::to_string(actual) + " bytes long after its signature header"
                      + ", its header records " + std::to_string(recorded)
                      + (actual < recorded ? " (truncated)" : ""));
    }
}

void PackageIntegrity::update(const uint8_t *data, size_t length)
{
    const uint64_t start = m_position;
    m_position += length;
    for (Check &check : m_checks) {
        const uint64_t from = std::max(start, check.begin);
        const uint64_t to = std::min(m_position, check.end);
        if (from < to)
            check.digest->update(data + (from - start), size_t(to - from));
    }
}

void PackageIntegrity::finish()
{
    for (Check &check : m_checks) {
        const Bytes digest = check.digest->finish();
        if (SignerDescription::hex(digest.data(), digest.size(), "") != check.expectedHex)
            throw damaged("its " + check.part + " does not match the digest its header records");
    }
}

} // namespace Pkgseal
