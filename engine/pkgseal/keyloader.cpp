#include "keyloader.h"

#include "passphraseprompt.h"
#include "sealerror.h"
#include "signerdescription.h"

#include <openssl/err.h>
#include <openssl/pem.h>

#include <cerrno>
#include <cstring>
#include <sys/stat.h>

namespace Pkgseal {

BioPtr KeyLoader::openFile(const std::string &path, const char *what)
{
    if (path.empty())
        throw SealError(std::string("no ") + what + " file given");
    struct stat status;
    if (::stat(path.c_str(), &status) != 0)
        throw SealError(path + ": cannot read " + what + ": " + std::strerror(errno));
    if (!S_ISREG(status.st_mode))
        throw SealError(path + ": cannot read " + what + ": not a regular file");
    BioPtr bio(BIO_new_file(path.c_str(), "r"));
    if (!bio)
        throw SealError(path + ": cannot read " + what + ": " + std::strerror(errno));
    return bio;
}

KeyPtr KeyLoader::loadPrivateKey(const std::string &path)
{
    BioPtr bio = openFile(path, "key");
    PassphrasePrompt prompt(path);
    KeyPtr key(PEM_read_bio_PrivateKey(bio.get(), nullptr, PassphrasePrompt::callback, &prompt));
    if (key) {
        ERR_clear_error();
        return key;
    }
    const std::string reason = lastOpenSslError();
    if (prompt.reachedEndOfInput())
        throw SealError(path + ": no pass phrase given for the encrypted key (end of input)");
    if (prompt.wasTooLong())
        throw SealError(path + ": the pass phrase is too long");
    if (prompt.wasAsked())
        throw SealError(path + ": wrong pass phrase for the encrypted key (" + reason + ")");
    throw SealError(path + ": not a usable private key (" + reason + ")");
}

std::vector<CertificatePtr> KeyLoader::loadCertificates(const std::string &path)
{
    BioPtr bio = openFile(path, "certificate");
    std::vector<CertificatePtr> certificates;
    const auto noPassphrase = [](char *, int, int, void *) { return -1; };
    while (X509 *certificate = PEM_read_bio_X509(bio.get(), nullptr, noPassphrase, nullptr))
        certificates.emplace_back(certificate);
    ERR_clear_error();
    if (certificates.empty())
        throw SealError(path + ": no certificate found");
    for (const CertificatePtr &certificate : certificates)
        checkValidNow(certificate.get(), path);
    return certificates;
}

void KeyLoader::checkValidNow(X509 *certificate, const std::string &path)
{
    const int start = X509_cmp_current_time(X509_get0_notBefore(certificate));
    const int end = X509_cmp_current_time(X509_get0_notAfter(certificate));
    const char *problem = start == 0 || end == 0 ? "has unreadable validity dates"
                          : start > 0            ? "is not valid yet"
                          : end < 0              ? "has expired"
                                                 : nullptr;
    if (problem) {
        throw SealError(path + ": the certificate " + SignerDescription(certificate).subject() + " "
                        + problem + " (" + SignerDescription::validity(certificate) + ")");
    }
}

} // namespace Pkgseal
