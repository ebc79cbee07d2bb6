#pragma once

#include "signingtypes.h"

#include <QFileInfo>
#include <QStringList>

// Command lists for runInBuildContainer: element 0 is an empty program slot, every further
// element is one argument.
namespace Quillmark {
namespace Internal {

QStringList pkgsealCommand();
QStringList dumpCommand(const QStringList &packages);
QStringList deleteCommand(const QStringList &packages);
QStringList signCommand(const QString &keyPath,
                        const QString &certificatePath,
                        const QStringList &packages);
QStringList verifyCommand(const QString &caCertificatePath, const QStringList &packages);
QStringList gostKeyCommand(const QString &keyPath, bool encrypt);
QStringList rsaKeyCommand(const QString &keyPath, bool encrypt);
QStringList requestCommand(const QString &keyPath,
                           const QString &requestPath,
                           const QString &configurationPath);

// Empty when the name can stand in a certificate subject; otherwise why it cannot.
QString companyNameError(const QString &companyName);

// The request configuration with the company name as the subject's common name.
QByteArray csrConfig(const QString &companyName);

// Writes the request configuration into a new file of the workspace folder, readable by its owner
// only; the caller removes it. Returns an empty QFileInfo and sets errorMessage when that fails.
QFileInfo writeCsrConfig(const RequestParameters &parameters, QString &errorMessage);

} // namespace Internal
} // namespace Quillmark
