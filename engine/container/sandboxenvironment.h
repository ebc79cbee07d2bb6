#pragma once

#include <QByteArrayList>
#include <QStringList>

namespace KelvaraRun {

// The environment of the tools in a build container: of the run command's own environment
// only what builds need (PATH with the tools folder in front, LANG, LANGUAGE, LC_*, TERM,
// WORKSPACE_DIR) and the variables that the SDK configuration names; the container's own
// HOME and OPENSSL_CONF (the GOST engine). Nothing else of the host gets in: no LD_PRELOAD,
// no tokens, no settings of host programs.
class SandboxEnvironment
{
public:
    SandboxEnvironment(const QString &toolsDir,
                       const QString &homeFolder,
                       const QStringList &passedNames);

    // hostEnvironment: "NAME=value" entries, as in environ.
    QByteArrayList variables(const QByteArrayList &hostEnvironment) const;

    // The system folders of a PATH, for an environment that has none.
    static const char *defaultPath()
    {
        return "/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin";
    }

private:
    bool isPassed(const QByteArray &name) const;

    QByteArray m_toolsDir;
    QByteArray m_homeFolder;
    QList<QByteArray> m_passedNames;
};

} // namespace KelvaraRun
