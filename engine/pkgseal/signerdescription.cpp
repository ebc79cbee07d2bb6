#include "signerdescription.h"

#include "opensslptr.h"

#include <openssl/crypto.h>
#include <openssl/evp.h>

#include <cstdio>

namespace Pkgseal {

namespace {

std::string entryText(X509_NAME_ENTRY *entry)
{
    unsigned char *utf8 = nullptr;
    const int length = ASN1_STRING_to_UTF8(&utf8, X509_NAME_ENTRY_get_data(entry));
    if (length < 0)
        return {};
    std::string text(reinterpret_cast<char *>(utf8), size_t(length));
    OPENSSL_free(utf8);
    return text;
}

} // namespace

SignerDescription::SignerDescription(X509 *certificate)
    : m_subject(readSubject(certificate))
    , m_keyId(readKeyId(certificate))
{
    const X509_NAME *name = X509_get_subject_name(certificate);
    int position = X509_NAME_get_index_by_NID(name, NID_organizationalUnitName, -1);
    if (position >= 0) {
        m_group = escaped(entryText(X509_NAME_get_entry(name, position)));
        position = X509_NAME_get_index_by_NID(name, NID_organizationalUnitName, position);
        if (position >= 0)
            m_subgroup = escaped(entryText(X509_NAME_get_entry(name, position)));
    }
}

std::string SignerDescription::readSubject(X509 *certificate)
{
    BioPtr bio(BIO_new(BIO_s_mem()));
    const unsigned long flags = XN_FLAG_ONELINE & ~ASN1_STRFLGS_ESC_MSB;
    X509_NAME_print_ex(bio.get(), X509_get_subject_name(certificate), 0, flags);
    char *data = nullptr;
    const long length = BIO_get_mem_data(bio.get(), &data);
    return escaped(std::string(data, size_t(length)));
}

std::string SignerDescription::readKeyId(X509 *certificate)
{
    if (const ASN1_OCTET_STRING *keyId = X509_get0_subject_key_id(certificate))
        return hex(ASN1_STRING_get0_data(keyId), size_t(ASN1_STRING_length(keyId)), ":");
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned length = 0;
    X509_pubkey_digest(certificate, EVP_sha256(), digest, &length);
    return "SHA256 " + hex(digest, length, ":");
}

std::string SignerDescription::escaped(const std::string &value)
{
    static const std::string blockWord = "Subject";
    std::string result;
    for (size_t i = 0; i < value.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(value[i]);
        const bool startsBlockWord = value.compare(i, blockWord.size(), blockWord) == 0;
        if (c < 0x20 || c == 0x7f || c == '/' || startsBlockWord) {
            char code[4];
            std::snprintf(code, sizeof(code), "\\%02X", c);
            result += code;
        } else {
            result += char(c);
        }
    }
    return result;
}

std::string SignerDescription::validity(X509 *certificate)
{
    return "valid from " + timeText(X509_get0_notBefore(certificate)) + " until "
           + timeText(X509_get0_notAfter(certificate));
}

std::string SignerDescription::timeText(const ASN1_TIME *time)
{
    BioPtr bio(BIO_new(BIO_s_mem()));
    ASN1_TIME_print_ex(bio.get(), time, ASN1_DTFLGS_ISO8601);
    char *data = nullptr;
    const long length = BIO_get_mem_data(bio.get(), &data);
    return std::string(data, size_t(length));
}

std::string SignerDescription::hex(const unsigned char *data, size_t length, const char *separator)
{
    std::string text;
    for (size_t i = 0; i < length; ++i) {
        char digits[3];
        std::snprintf(digits, sizeof(digits), "%02X", data[i]);
        if (i > 0)
            text += separator;
        text += digits;
    }
    return text;
}

} // namespace Pkgseal
