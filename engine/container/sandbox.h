#pragma once

#include <sdkconfig/sdkconfig.h>

#include <QStringList>

namespace KelvaraRun {

// The bubblewrap options that make one build container of an SDK: the host's system
// read-only with only the parts of /etc that builds need, a private /tmp, /var/tmp and home,
// the workspace and every engine's shared source folder read-write at their host paths, the
// SDK's keys/ and ca/ folders and the tools folder (pkgseal) read-only at their host paths,
// the container's engine folder read-only as /etc/keys/public, a new session and PID
// namespace, no capabilities. The network is the host's.
class Sandbox
{
public:
    Sandbox(const SdkConfig::Configuration &config, const QString &toolsDir);

    // Works out the options for the container and the host working folder. On failure
    // returns false and errorString() says why. The options name file descriptors that
    // bubblewrap reads: they stay open for it.
    bool prepare(const QString &containerName, const QString &workingDir);

    // The home folder of the tools, empty at the start of every run.
    static QString homeFolder() { return QStringLiteral("/home/builder"); }

    QStringList arguments() const { return m_arguments; }
    QStringList passEnvironment() const { return m_passEnvironment; }
    QString errorString() const { return m_errorString; }

private:
    const SdkConfig::Engine *engineOfContainer(const QString &containerName);
    bool collectSharedFolders(const SdkConfig::Engine &ownEngine);
    bool requireFolder(const QString &path, const QString &role);
    bool mapWorkingDirectory(const QString &workingDir);
    void addSystemFolders();
    void addEtc(const QString &engineFolder);
    void addEtcEntry(const QString &path);
    void addVar();
    void addBindsAtHostPaths();
    void addOption(const QString &option, const QString &value);
    void add(const QString &option, const QString &source, const QString &destination);

    SdkConfig::Configuration m_config;
    QString m_toolsDir;
    QStringList m_sharedFolders;
    QString m_insideWorkingDir;
    QStringList m_passEnvironment;
    QStringList m_arguments;
    QString m_errorString;
};

} // namespace KelvaraRun
