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

void SignTool::cancel()
{
    if (!m_running)
        return;
    m_cancelRequested = true;
    if (m_passPhraseDialog)
        m_passPhraseDialog->reject();
    // The runner sleeps until the next event: this one lets it see the request at once.
    QMetaObject::invokeMethod(
        this, [] {}, Qt::QueuedConnection);
}

RunResult SignTool::runTool(const QProcessEnvironment &environment, const QStringList &command)
{
    m_running = true;
    m_cancelRequested = false;
    RunResult result = runInBuildContainer(m_outputHandler, environment, command);
    m_running = false;
    m_wasCancelled = m_cancelRequested;
    if (m_wasCancelled)
        result.crashed = true;
    return result;
}

bool SignTool::processOutput(const QByteArray &output, const QByteArray &error, QByteArray &input)
{
    // Both streams are published even when a prompt of the first one was cancelled.
    const bool outputAnswered = processStream(output, false, input);
    const bool errorAnswered = processStream(error, true, input);
    return outputAnswered && errorAnswered && !m_cancelRequested;
}

bool SignTool::processStream(const QByteArray &chunk, bool isError, QByteArray &input)
{
    static const QRegularExpression lineBreaks("[\r\n]");
    const QStringList lines = QString::fromUtf8(chunk).split(lineBreaks, Qt::SkipEmptyParts);
    for (const QString &line : lines) {
        if (isPassPhrasePrompt(line))
            answerPrompt(line, input);
        else if (isError)
            emit addError(line);
        else
            emit addOutput(line);
    }
    return !m_cancelRequested;
}

// Once cancelled, a run asks for nothing more; the process is being stopped.
void SignTool::answerPrompt(const QString &prompt, QByteArray &input)
{
    if (m_cancelRequested)
        return;
    bool ok = false;
    const QString passPhrase = getPassword(prompt, &ok, &m_passPhraseDialog);
    if (!ok || passPhrase.isEmpty()) {
        m_cancelRequested = true;
        return;
    }
    input.append(passPhrase.toUtf8());
    input.append('\n');
}

} // namespace Internal
} // namespace Quillmark
