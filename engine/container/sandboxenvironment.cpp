#include "sandboxenvironment.h"

#include <QFile>
#include <QMap>

namespace KelvaraRun {

// Installed next to kelvara-run; it loads the GOST engine for openssl inside the container.
static const char opensslConfig[] = "kelvara-openssl.cnf";

SandboxEnvironment::SandboxEnvironment(const QString &toolsDir,
                                       const QString &homeFolder,
                                       const QStringList &passedNames)
    : m_toolsDir(QFile::encodeName(toolsDir))
    , m_homeFolder(QFile::encodeName(homeFolder))
{
    for (const QString &name : passedNames)
        m_passedNames.append(name.toLocal8Bit());
}

bool SandboxEnvironment::isPassed(const QByteArray &name) const
{
    static const QList<QByteArray> buildNeeds{"LANG", "LANGUAGE", "TERM", "WORKSPACE_DIR"};
    return buildNeeds.contains(name) || name.startsWith("LC_") || m_passedNames.contains(name);
}

QByteArrayList SandboxEnvironment::variables(const QByteArrayList &hostEnvironment) const
{
    QMap<QByteArray, QByteArray> result{{"PATH", m_toolsDir + ':' + defaultPath()},
                                        {"HOME", m_homeFolder},
                                        {"OPENSSL_CONF", m_toolsDir + '/' + opensslConfig}};
    for (const QByteArray &variable : hostEnvironment) {
        const int equals = variable.indexOf('=');
        if (equals <= 0)
            continue;
        const QByteArray name = variable.left(equals);
        const QByteArray value = variable.mid(equals + 1);
        if (name == "PATH")
            result.insert(name, m_toolsDir + ':' + value);
        else if (isPassed(name))
            result.insert(name, value);
    }

    QByteArrayList variables;
    for (auto it = result.cbegin(); it != result.cend(); ++it)
        variables.append(it.key() + '=' + it.value());
    return variables;
}

} // namespace KelvaraRun
