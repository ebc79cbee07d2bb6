#include "signtool.h"

#include "passworddialogprivate.h"

#include <coreplugin/messagemanager.h>

#include <QRegularExpression>

namespace Quillmark {
namespace Internal {

static bool isPassPhrasePrompt(const QString &line)
{
    static const char *const prompts[] = {"Enter passphrase for binaries key",
                                          "Enter PEM pass phrase",
                                          "Verifying - Enter PEM pass phrase",
                                          "Enter pass phrase"};
    for (const char *prompt : prompts) {
        if (line.startsWith(QLatin1String(prompt)))
            return true;
    }
    return false;
}

SignTool::SignTool(QObject *parent)
    : QObject(parent)
{
    m_outputHandler = [this](const QByteArray &output, const QByteArray &error, QByteArray &input) {
        return processOutput(output, error, input);
    };
    connect(this, &SignTool::addOutput, this, [](const QString &line) {
        Core::MessageManager::writeDisrupting(QString("[I]\t%1").arg(line));
    });
    connect(this, &SignTool::addError, this, [](const QString &line) {
        Core::MessageManager::writeDisrupting(QString("[E]\t%1").arg(line));
    });
}

bool SignTool::processOutput(const QByteArray &output, const QByteArray &error, QByteArray &input)
{
    return processStream(output, false, input) && processStream(error, true, input);
}

bool SignTool::processStream(const QByteArray &chunk, bool isError, QByteArray &input)
{
    static const QRegularExpression lineBreaks("[\r\n]");
    const QStringList lines = QString::fromUtf8(chunk).split(lineBreaks, Qt::SkipEmptyParts);
    for (const QString &line : lines) {
        if (isPassPhrasePrompt(line)) {
            bool ok = false;
            const QString passPhrase = getPassword(line, &ok);
            if (!ok || passPhrase.isEmpty())
                return false;
            input.append(passPhrase.toUtf8());
            input.append('\n');
        } else if (isError) {
            emit addError(line);
        } else {
            emit addOutput(line);
        }
    }
    return true;
}

} // namespace Internal
} // namespace Quillmark
