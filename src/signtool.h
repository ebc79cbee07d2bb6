#pragma once

#include "runinbuildcontainer.h"
#include "signingtypes.h"

#include <QDialog>
#include <QObject>
#include <QPointer>

namespace Quillmark {
namespace Internal {

class SignTool : public QObject
{
    Q_OBJECT

public:
    explicit SignTool(QObject *parent = nullptr);

    virtual RunResult sign(const QStringList &packages, const KeySet &keys) = 0;
    virtual RunResult removeSignature(const QStringList &packages) = 0;
    virtual RunResult verify(const QStringList &packages, const KeySet &keys) = 0;
    virtual RunResult dump(const QStringList &packages) = 0;
    virtual RunResult generateRequest(const RequestParameters &parameters) = 0;

    // Stops the running operation: its process is killed and a pass-phrase dialog that is open
    // for it is closed. Does nothing while no tool runs.
    void cancel();
    // The last operation ended because the user cancelled: a pass-phrase prompt was cancelled,
    // or cancel() was called.
    bool wasCancelled() const { return m_wasCancelled; }

signals:
    void addOutput(const QString &output);
    void addError(const QString &error);

protected:
    // An operation that fails before it runs any tool was not cancelled either.
    void clearCancellation() { m_wasCancelled = false; }
    // Runs the command in the build container with the tool's output handler. A cancelled run
    // has failed, even when its process ended on its own at that moment.
    RunResult runTool(const QProcessEnvironment &environment, const QStringList &command);

    bool processOutput(const QByteArray &output, const QByteArray &error, QByteArray &input);
    // A line is published once its end has come; a pass-phrase prompt is answered at once.
    bool processStream(const QByteArray &chunk, bool isError, QByteArray &input);
    // At the end of a run: the last lines, which came without a line end.
    void publishPendingLines();

private:
    void handleLine(const QByteArray &line, bool isError, QByteArray &input);
    void answerPrompt(const QString &prompt, QByteArray &input);

    OutputHandler m_outputHandler;
    QByteArray m_pendingOutput;
    QByteArray m_pendingError;
    bool m_running = false;
    bool m_cancelRequested = false;
    bool m_wasCancelled = false;
    QPointer<QDialog> m_passPhraseDialog;
};

} // namespace Internal
} // namespace Quillmark
