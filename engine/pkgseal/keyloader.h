#pragma once

#include "opensslptr.h"

#include <string>
#include <vector>

namespace Pkgseal {

// Reads the signer's private key and certificates from PEM files.
class KeyLoader
{
public:
    // Asks for the pass phrase on the standard streams when the key is encrypted.
    static KeyPtr loadPrivateKey(const std::string &path);
    // The certificates of the file in order; the first is the signer's. Throws SealError when
    // one of them is not valid now.
    static std::vector<CertificatePtr> loadCertificates(const std::string &path);

private:
    static BioPtr openFile(const std::string &path, const char *what);
    static void checkValidNow(X509 *certificate, const std::string &path);
};

} // namespace Pkgseal
