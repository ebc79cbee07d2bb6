#pragma once

#include <sdkconfig/sdkconfig.h>

#include <QStringList>

namespace KelvaraRun {

// The bubblewrap options that make one build container of an SDK: the host's system
// read-only, a private /tmp, the workspace and every engine's shared source folder
// read-write at their host paths, the container's engine folder read-only as
// /etc/keys/public, the tools folder (pkgseal) read-only, a new session and PID namespace,
// no capabilities.
class Sandbox
{
public:
    Sandbox(const SdkConfig::Configuration &config, const QString &toolsDir);

    // Works out the options for the container and the host working folder. On failure
    // returns false and errorString() says why.
    bool prepare(const QString &containerName, const QString &workingDir);

    QStringList arguments() const { return m_arguments; }
    QString errorString() const { return m_errorString; }

private:
    const SdkConfig::Engine *engineOfContainer(const QString &containerName);
    bool collectSharedFolders(const SdkConfig::Engine &ownEngine);
    bool requireFolder(const QString &path, const QString &role);
    bool mapWorkingDirectory(const QString &workingDir);
    void addSystemFolders();
    void addEtc(const QString &engineFolder);
    void addBindsAtHostPaths();
    void addOption(const QString &option, const QString &value);
    void add(const QString &option, const QString &source, const QString &destination);

    SdkConfig::Configuration m_config;
    QString m_toolsDir;
    QStringList m_sharedFolders;
    QString m_insideWorkingDir;
    QStringList m_arguments;
    QString m_errorString;
};

} // namespace KelvaraRun
