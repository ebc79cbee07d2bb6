#pragma once

#include <openssl/x509.h>

#include <string>

namespace Pkgseal {

// What a dump tells about a signer, taken from its certificate: the subject, the group (first
// organizational unit) and subgroup (second one), "none" where there is none, and the key
// identifier.
class SignerDescription
{
public:
    explicit SignerDescription(X509 *certificate);

    const std::string &subject() const { return m_subject; }
    const std::string &group() const { return m_group; }
    const std::string &subgroup() const { return m_subgroup; }
    const std::string &keyId() const { return m_keyId; }

    // Makes a value safe for a dump line: no line breaks or control characters, no slash (which
    // starts a package path for readers of the dump) and no word that starts a signature block.
    static std::string escaped(const std::string &value);
    static std::string hex(const unsigned char *data, size_t length, const char *separator);
    // "valid from <date> until <date>", in UTC.
    static std::string validity(X509 *certificate);

private:
    static std::string readSubject(X509 *certificate);
    static std::string readKeyId(X509 *certificate);
    static std::string timeText(const ASN1_TIME *time);

    std::string m_subject;
    std::string m_group = "none";
    std::string m_subgroup = "none";
    std::string m_keyId;
};

} // namespace Pkgseal
