#include "sandboxlauncher.h"

#include "sandboxenvironment.h"

#include <QFile>
#include <QStandardPaths>

#include <cerrno>
#include <cstring>
#include <unistd.h>
#include <vector>

namespace KelvaraRun {

// Runs the tool through the container's shell so that a missing tool gives 127 and one that
// cannot be executed 126, as in any shell; "exec" leaves no shell process behind.
static const char execScript[] = "exec \"$0\" \"$@\"";

static std::vector<char *> nullTerminated(QByteArrayList &list)
{
    std::vector<char *> pointers;
    for (QByteArray &item : list)
        pointers.push_back(item.data());
    pointers.push_back(nullptr);
    return pointers;
}

QString SandboxLauncher::findBubblewrap()
{
    QStringList folders = QString::fromLocal8Bit(qgetenv("PATH")).split(':', Qt::SkipEmptyParts);
    folders << QString::fromLatin1(SandboxEnvironment::defaultPath()).split(':');
    return QStandardPaths::findExecutable("bwrap", folders);
}

void SandboxLauncher::exec(const QStringList &sandboxArguments,
                           const QByteArrayList &command,
                           QByteArrayList environment)
{
    const QString bubblewrap = findBubblewrap();
    if (bubblewrap.isEmpty()) {
        m_errorString = QStringLiteral("Cannot find bwrap (package bubblewrap), which runs the "
                                       "build container.");
        return;
    }

    QByteArrayList arguments{"bwrap"};
    for (const QString &argument : sandboxArguments)
        arguments << QFile::encodeName(argument);
    arguments << "--"
              << "/bin/sh"
              << "-c" << execScript;
    arguments << command;

    // bwrap's sandbox process waits for bwrap's set-up in this process group before it starts a
    // session of its own; were bwrap killed in that moment, it would wait forever. A group of its
    // own lets whoever stops the run stop that process too.
    ::setpgid(0, 0);
    const QByteArray program = QFile::encodeName(bubblewrap);
    ::execve(program.constData(),
             nullTerminated(arguments).data(),
             nullTerminated(environment).data());
    m_errorString = QStringLiteral("Cannot run %1: %2")
                        .arg(bubblewrap, QString::fromLocal8Bit(std::strerror(errno)));
}

} // namespace KelvaraRun
