#pragma once

#include <QByteArrayList>
#include <QStringList>

namespace KelvaraRun {

// Replaces this process by bubblewrap running a command in a prepared sandbox, so that the
// command's standard streams, exit code and signals need no relaying.
class SandboxLauncher
{
public:
    // Returns only when bubblewrap could not be started; errorString() says why.
    void exec(const QStringList &sandboxArguments,
              const QByteArrayList &command,
              QByteArrayList environment);
    QString errorString() const { return m_errorString; }

private:
    static QString findBubblewrap();

    QString m_errorString;
};

} // namespace KelvaraRun
