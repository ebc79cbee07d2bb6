#include "toolcommands.h"

#include <kelvara/kamsettings.h>

#include <QCoreApplication>
#include <QFileInfo>
#include <QTemporaryFile>

#include <algorithm>

namespace Quillmark {
namespace Internal {

const char pkgsealToolName[] = "pkgseal";

const char csrConfigTemplate[] = "[ req ]\n"
                                 " distinguished_name = req_distinguished_name\n"
                                 " prompt = no\n"
                                 " string_mask = utf8only\n"
                                 " x509_extensions = v3_usr\n"
                                 " \n"
                                 "[ req_distinguished_name ]\n"
                                 " CN = %COMPANY_NAME%\n"
                                 " \n"
                                 "[ v3_usr ]\n"
                                 " basicConstraints=critical,CA:FALSE\n"
                                 " keyUsage=digitalSignature\n"
                                 " subjectKeyIdentifier=hash\n"
                                 " authorityKeyIdentifier=keyid\n";

// Gives the free functions of this file a translation context of their own.
class ToolCommands
{
    Q_DECLARE_TR_FUNCTIONS(Quillmark::Internal::ToolCommands)
};

QStringList pkgsealCommand()
{
    return {QString(), pkgsealToolName};
}

QStringList dumpCommand(const QStringList &packages)
{
    return pkgsealCommand() << "dump" << packages;
}

QStringList deleteCommand(const QStringList &packages)
{
    return pkgsealCommand() << "delete" << packages;
}

QStringList signCommand(const QString &keyPath,
                        const QString &certificatePath,
                        const QStringList &packages)
{
    return pkgsealCommand() << "sign"
                            << "-k" << keyPath << "-c" << certificatePath << packages;
}

QStringList verifyCommand(const QString &caCertificatePath, const QStringList &packages)
{
    QStringList command = pkgsealCommand() << "verify";
    if (!caCertificatePath.isEmpty())
        command << "--root-cert" << caCertificatePath;
    return command << packages;
}

static QStringList keyCommand(const QStringList &algorithmOptions,
                              const QString &keyPath,
                              bool encrypt)
{
    QStringList command{QString(), "openssl", "genpkey"};
    command << algorithmOptions << "-out" << keyPath;
    if (encrypt)
        command << "-aes256";
    return command;
}

QStringList gostKeyCommand(const QString &keyPath, bool encrypt)
{
    return keyCommand({"-engine", "gost", "-algorithm", "gost2012_256", "-pkeyopt", "paramset:A"},
                      keyPath,
                      encrypt);
}

QStringList rsaKeyCommand(const QString &keyPath, bool encrypt)
{
    return keyCommand({"--algorithm", "rsa", "-pkeyopt", "rsa_keygen_bits:2048"}, keyPath, encrypt);
}

QStringList requestCommand(const QString &keyPath,
                           const QString &requestPath,
                           const QString &configurationPath)
{
    return {QString(),
            "openssl",
            "req",
            "-new",
            "-utf8",
            "-batch",
            "-config",
            configurationPath,
            "-key",
            keyPath,
            "-out",
            requestPath};
}

static bool isLineBreakOrControl(QChar c)
{
    return c.category() == QChar::Other_Control || c.category() == QChar::Separator_Line
           || c.category() == QChar::Separator_Paragraph;
}

QString companyNameError(const QString &companyName)
{
    if (std::any_of(companyName.cbegin(), companyName.cend(), isLineBreakOrControl))
        return ToolCommands::tr("The company name must not contain line breaks or other control "
                         "characters.");
    return {};
}

static bool isConfigSyntax(QChar c)
{
    return c == '\\' || c == '"' || c == '\'' || c == '$' || c == '#';
}

static bool isPlainValue(const QString &text)
{
    return text.isEmpty()
           || (!text.front().isSpace() && !text.back().isSpace()
               && std::none_of(text.cbegin(), text.cend(), isConfigSyntax));
}

// openssl's configuration syntax interprets escapes, quotes, variables and comments in a value
// and drops the blanks around it: such a name is written quoted, with those characters escaped.
static QByteArray configValue(const QString &text)
{
    if (isPlainValue(text))
        return text.toUtf8();
    QString quoted = "\"";
    for (const QChar c : text) {
        if (isConfigSyntax(c) && c != '\'')
            quoted.append('\\');
        quoted.append(c);
    }
    quoted.append('"');
    return quoted.toUtf8();
}

QByteArray csrConfig(const QString &companyName)
{
    return QByteArray(csrConfigTemplate).replace("%COMPANY_NAME%", configValue(companyName));
}

QFileInfo writeCsrConfig(const RequestParameters &parameters, QString &errorMessage)
{
    const QString nameError = companyNameError(parameters.companyName);
    if (!nameError.isEmpty()) {
        errorMessage = nameError;
        return {};
    }
    const QString workspace = Kam::Internal::KamSettings::workspaceLocation();
    if (workspace.isEmpty()) {
        errorMessage = ToolCommands::tr("No workspace folder is set, so the request configuration has "
                                 "no place to be written.");
        return {};
    }

    // Made anew under a name that cannot be guessed, readable by its owner only, never through a
    // file or link that is already there; it removes itself unless it is handed on.
    QTemporaryFile file(workspace + "/.csr_XXXXXX.conf");
    if (!file.open()) {
        errorMessage = ToolCommands::tr("Could not open %1 for writing: %2.")
                           .arg(QFileInfo(file.fileTemplate()).absoluteFilePath(),
                                file.errorString());
        return {};
    }
    const QString absolutePath = QFileInfo(file.fileName()).absoluteFilePath();
    const QByteArray config = csrConfig(parameters.companyName);
    if (file.write(config) != config.size() || !file.flush()) {
        errorMessage = ToolCommands::tr("Could not write data to %1: %2.")
                           .arg(absolutePath, file.errorString());
        return {};
    }
    file.setAutoRemove(false);
    file.close();
    return QFileInfo(absolutePath);
}

} // namespace Internal
} // namespace Quillmark
