#include "pkgseal.h"

#include "toolcommands.h"

#include <QFile>
#include <QFileInfo>

namespace Quillmark {
namespace Internal {

Pkgseal::Pkgseal(QObject *parent)
    : SignTool(parent)
{}

void Pkgseal::setEnvironment(const QProcessEnvironment &environment)
{
    m_environment = environment;
}

RunResult Pkgseal::sign(const QStringList &packages, const KeySet &keys)
{
    const RunResult developerResult = run(
        signCommand(keys.developerKey, keys.developerCertificate, packages));
    if (!succeeded(developerResult) || keys.clientCertificate.isEmpty() || keys.clientKey.isEmpty())
        return developerResult;
    return run(signCommand(keys.clientKey, keys.clientCertificate, packages));
}

RunResult Pkgseal::removeSignature(const QStringList &packages)
{
    return run(deleteCommand(packages));
}

RunResult Pkgseal::verify(const QStringList &packages, const KeySet &keys)
{
    return run(verifyCommand(keys.caCertificate, packages));
}

RunResult Pkgseal::dump(const QStringList &packages)
{
    return run(dumpCommand(packages));
}

RunResult Pkgseal::generateRequest(const RequestParameters &parameters)
{
    const QString nameError = companyNameError(parameters.companyName);
    if (!nameError.isEmpty())
        return requestFailure(nameError);

    if (!parameters.keyPath.exists()) {
        // A link, even one that leads nowhere, is the user's and stays.
        const bool keyWasLink = QFileInfo(parameters.keyPath.toString()).isSymLink();
        const RunResult keyResult = generateKey(parameters);
        if (!succeeded(keyResult)) {
            // openssl makes the key file before it asks for the pass phrase: an empty or partial
            // key left there would be taken for the user's own key by the next request.
            if (!keyWasLink)
                QFile::remove(parameters.keyPath.toString());
            return keyResult;
        }
    }
    return makeRequest(parameters);
}

RunResult Pkgseal::run(const QStringList &command)
{
    return runTool(m_environment, command);
}

RunResult Pkgseal::generateKey(const RequestParameters &parameters)
{
    const QString keyPath = parameters.keyPath.toUserOutput();
    if (parameters.algorithm == KeyAlgorithm::Gost)
        return run(gostKeyCommand(keyPath, parameters.encrypt));
    return run(rsaKeyCommand(keyPath, parameters.encrypt));
}

RunResult Pkgseal::makeRequest(const RequestParameters &parameters)
{
    QString errorMessage;
    const QFileInfo config = writeCsrConfig(parameters, errorMessage);
    if (!config.exists())
        return requestFailure(errorMessage);

    const QString configPath = config.absoluteFilePath();
    const RunResult result = run(requestCommand(parameters.keyPath.toUserOutput(),
                                                parameters.requestPath.toUserOutput(),
                                                configPath));
    QFile::remove(configPath);
    return result;
}

RunResult Pkgseal::requestFailure(const QString &reason)
{
    clearCancellation();
    emit addError(tr("Filed to generate CSR"));
    emit addError(reason);
    return {false, -1, {}, {}};
}

} // namespace Internal
} // namespace Quillmark
