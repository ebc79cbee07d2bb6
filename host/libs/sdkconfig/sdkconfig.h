#pragma once

#include <QList>
#include <QString>
#include <QStringList>

namespace SdkConfig {

// One build engine: its own folder (seen inside its containers as /etc/keys/public)
// and the host folder that it shares as its source folder.
struct Engine
{
    QString name;
    QString path;
    QString sharedSrcPath;
};

// One build container of an engine and the host program that runs commands in it.
// passEnvironment names the variables of the run command's environment that reach the
// tools beyond those every build needs (PATH, LANG, LC_*, TERM, WORKSPACE_DIR).
struct Container
{
    QString name;
    QString engine;
    QString runCommand;
    QStringList passEnvironment;
};

// The SDK configuration file "sdk.json" at the top of an SDK folder:
//
// {
//   "name": "Kelvara SDK",
//   "workspace": "workspace",
//   "engines": [ { "name": "kelvara-engine", "path": "engine", "sharedSrcPath": "workspace" } ],
//   "containers": [ { "name": "kelvara-build", "engine": "kelvara-engine",
//                     "runCommand": "bin/run-kelvara-build",
//                     "passEnvironment": [ "http_proxy" ] } ]
// }
//
// Relative paths are relative to the SDK folder; every path of a loaded configuration is
// absolute and clean. An empty "sharedSrcPath" stays empty.
struct Configuration
{
    QString installationPath;
    QString name;
    QString workspace;
    QList<Engine> engines;
    QList<Container> containers;

    const Engine *engine(const QString &name) const;

    static QString fileName(); // "sdk.json"
    static QString filePath(const QString &sdkDir);

    // Reads <sdkDir>/sdk.json. On failure returns false and says why in errorString.
    static bool load(const QString &sdkDir, Configuration *config, QString *errorString);
    // Writes the configuration to <installationPath>/sdk.json, paths inside the SDK folder
    // written relative to it.
    bool save(QString *errorString) const;
};

} // namespace SdkConfig
