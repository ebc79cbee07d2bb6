#pragma once

#include <QByteArrayList>
#include <QStringList>

namespace KelvaraRun {

// Replaces this process by bubblewrap running a command in a prepared sandbox, so that the
// command's standard streams, exit code and signals need no relaying.
class SandboxLauncher
{
public:
    explicit SandboxLauncher(const QString &toolsDir);

    // Returns only when bubblewrap could not be started; errorString() says why.
    void exec(const QStringList &sandboxArguments, const QByteArrayList &command);
    QString errorString() const { return m_errorString; }

private:
    static QString findBubblewrap();
    // The environment of this process, with the tools folder in front of its PATH, or in
    // front of the usual system folders when there is no PATH.
    QByteArrayList environment() const;

    QString m_toolsDir;
    QString m_errorString;
};

} // namespace KelvaraRun
