#include "sandboxlauncher.h"

#include <QFile>
#include <QStandardPaths>

#include <cerrno>
#include <cstring>
#include <unistd.h>
#include <vector>

extern char **environ;

namespace KelvaraRun {

static const char defaultPath[] = "/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin";

// Installed next to kelvara-run; it loads the GOST engine for openssl inside the container.
static const char opensslConfig[] = "kelvara-openssl.cnf";

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

SandboxLauncher::SandboxLauncher(const QString &toolsDir)
    : m_toolsDir(toolsDir)
{}

QString SandboxLauncher::findBubblewrap()
{
    QStringList folders = QString::fromLocal8Bit(qgetenv("PATH")).split(':', Qt::SkipEmptyParts);
    folders << QString::fromLatin1(defaultPath).split(':');
    return QStandardPaths::findExecutable("bwrap", folders);
}

QByteArrayList SandboxLauncher::environment() const
{
    const QByteArray toolsDir = QFile::encodeName(m_toolsDir);
    QByteArrayList result;
    bool hasPath = false;
    bool hasOpensslConfig = false;
    for (char **entry = environ; *entry; ++entry) {
        QByteArray variable(*entry);
        if (variable.startsWith("PATH=")) {
            variable.insert(5, toolsDir + ':');
            hasPath = true;
        }
        hasOpensslConfig = hasOpensslConfig || variable.startsWith("OPENSSL_CONF=");
        result << variable;
    }
    if (!hasPath)
        result << "PATH=" + toolsDir + ':' + defaultPath;
    if (!hasOpensslConfig)
        result << "OPENSSL_CONF=" + toolsDir + '/' + opensslConfig;
    return result;
}

void SandboxLauncher::exec(const QStringList &sandboxArguments, const QByteArrayList &command)
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
    QByteArrayList variables = environment();

    const QByteArray program = QFile::encodeName(bubblewrap);
    ::execve(program.constData(),
             nullTerminated(arguments).data(),
             nullTerminated(variables).data());
    m_errorString = QStringLiteral("Cannot run %1: %2")
                        .arg(bubblewrap, QString::fromLocal8Bit(std::strerror(errno)));
}

} // namespace KelvaraRun
