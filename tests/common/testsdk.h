#pragma once

#include <sdkconfig/sdkconfig.h>

#include <QStringList>
#include <QTemporaryDir>

// A temporary SDK folder for tests: sdk.json with one engine "kelvara-engine" (its folder
// engine/, its shared source folder workspace/), one build container per given run command,
// package-signing/ with the regular key and certificate, and an empty workspace/.
class TestSdk
{
public:
    explicit TestSdk(const QStringList &runCommands = QStringList());

    bool isValid() const;
    QString path() const;
    QString workspacePath() const;
    QString packageSigningPath() const;

    SdkConfig::Configuration &configuration();

    // Replaces the containers: "container-1", "container-2"... of the first engine.
    void setRunCommands(const QStringList &runCommands);
    void addEngine(const QString &name, const QString &sharedSrcPath);
    void setSharedSrcPath(const QString &engineName, const QString &sharedSrcPath);

    // Writes sdk.json and, when the IDE is running, makes its build-engine plug-in re-read it.
    bool save();

    // A run command (bin/run-direct in the SDK) that runs its arguments directly on the host,
    // for tests that need no sandbox.
    QString createPassThroughRunCommand();

    // Makes a complete demo SDK in dir with bin/kelvara-sdk. Returns dir, or an empty string
    // with the reason in errorString.
    static QString createDemo(const QString &dir, QString *errorString = nullptr);

private:
    QTemporaryDir m_dir;
    SdkConfig::Configuration m_configuration;
    bool m_valid = false;
};
