#include "signtool.h"

#include "passworddialogprivate.h"

#include <coreplugin/messagemanager.h>

#include <algorithm>
#include <iterator>
#include <utility>

namespace Quillmark {
namespace Internal {

static bool isPassPhrasePrompt(const QByteArray &line)
{
    static const char *const prompts[] = {"Enter passphrase for binaries key",
                                          "Enter PEM pass phrase",
                                          "Verifying - Enter PEM pass phrase",
                                          "Enter pass phrase"};
    return std::any_of(std::begin(prompts), std::end(prompts), [&line](const char *prompt) {
        return line.startsWith(prompt);
    });
}

SignTool::SignTool(QObject *parent)
    : QObject(parent)
{
    m_outputHandler = [this](const QByteArray &output, const QByteArray &error, QByteArray &input) {
        return processOutput(output, error, input);
    };
    connect(this, &SignTool::addOutput, this, [](const QString &line) {
        Core::MessageManager::writeDisrupting(QLatin1String("[I]\t") + line);
    });
    connect(this, &SignTool::addError, this, [](const QString &line) {
        Core::MessageManager::writeDisrupting(QLatin1String("[E]\t") + line);
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
    publishPendingLines();
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
    QByteArray &pending = isError ? m_pendingError : m_pendingOutput;
    // What is pending holds no line break: only the new bytes are looked at.
    int position = pending.size();
    int lineStart = 0;
    pending.append(chunk);
    for (; position < pending.size(); ++position) {
        const char c = pending.at(position);
        if (c == '\n' || c == '\r') {
            handleLine(pending.mid(lineStart, position - lineStart), isError, input);
            lineStart = position + 1;
        }
    }
    pending.remove(0, lineStart);
    // A prompt comes without a line end: the tool waits for its answer.
    if (isPassPhrasePrompt(pending))
        handleLine(std::exchange(pending, {}), isError, input);
    return !m_cancelRequested;
}

void SignTool::publishPendingLines()
{
    QByteArray noInput;
    handleLine(std::exchange(m_pendingOutput, {}), false, noInput);
    handleLine(std::exchange(m_pendingError, {}), true, noInput);
}

void SignTool::handleLine(const QByteArray &line, bool isError, QByteArray &input)
{
    if (line.isEmpty())
        return;
    if (isPassPhrasePrompt(line))
        answerPrompt(QString::fromUtf8(line), input);
    else if (isError)
        emit addError(QString::fromUtf8(line));
    else
        emit addOutput(QString::fromUtf8(line));
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
