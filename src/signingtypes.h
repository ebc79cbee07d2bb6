#pragma once

#include <utils/fileutils.h>

#include <QString>

namespace Quillmark {
namespace Internal {

// Paths of PEM files; empty when not given.
struct KeySet
{
    QString clientKey;
    QString clientCertificate;
    QString developerCertificate;
    QString developerKey;
    QString caCertificate;
};

// The values are the positions in the dialog's algorithm list.
enum class KeyAlgorithm { Rsa = 0, Gost = 1 };

struct RequestParameters
{
    QString companyName;
    Utils::FilePath requestPath;
    bool encrypt = false;
    Utils::FilePath keyPath;
    KeyAlgorithm algorithm = KeyAlgorithm::Rsa;
};

} // namespace Internal
} // namespace Quillmark
