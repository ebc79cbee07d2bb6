#include "testsdk.h"

#include <pelk/sdk.h>

#include <QDir>
#include <QFile>
#include <QProcess>

static bool writeFile(const QString &fileName, const QByteArray &contents)
{
    QFile file(fileName);
    return file.open(QIODevice::WriteOnly) && file.write(contents) == contents.size();
}

TestSdk::TestSdk(const QStringList &runCommands)
{
    if (!m_dir.isValid())
        return;
    const QDir dir(m_dir.path());
    for (const char *folder : {"engine", "workspace", "package-signing", "bin"})
        dir.mkpath(folder);
    bool filesWritten = true;
    for (const QString fileName : {"regular_key.pem", "regular_cert.pem"}) {
        filesWritten = filesWritten
                       && writeFile(dir.filePath("package-signing/" + fileName),
                                    "test content of " + fileName.toUtf8() + '\n');
    }

    m_configuration.installationPath = dir.absolutePath();
    m_configuration.name = "Test SDK";
    m_configuration.workspace = dir.absoluteFilePath("workspace");
    m_configuration.engines.append(
        {"kelvara-engine", dir.absoluteFilePath("engine"), dir.absoluteFilePath("workspace")});
    setRunCommands(runCommands);
    QString errorString;
    m_valid = filesWritten && m_configuration.save(&errorString);
}

bool TestSdk::isValid() const
{
    return m_valid;
}

QString TestSdk::path() const
{
    return m_configuration.installationPath;
}

QString TestSdk::workspacePath() const
{
    return m_configuration.workspace;
}

QString TestSdk::packageSigningPath() const
{
    return path() + "/package-signing";
}

SdkConfig::Configuration &TestSdk::configuration()
{
    return m_configuration;
}

void TestSdk::setRunCommands(const QStringList &runCommands)
{
    m_configuration.containers.clear();
    for (int i = 0; i < runCommands.size(); ++i) {
        m_configuration.containers.append(
            {QString("container-%1").arg(i + 1), "kelvara-engine", runCommands.at(i)});
    }
}

void TestSdk::addEngine(const QString &name, const QString &sharedSrcPath)
{
    const QString enginePath = path() + "/engine-" + name;
    QDir().mkpath(enginePath);
    m_configuration.engines.append({name, enginePath, sharedSrcPath});
}

void TestSdk::setSharedSrcPath(const QString &engineName, const QString &sharedSrcPath)
{
    for (SdkConfig::Engine &engine : m_configuration.engines) {
        if (engine.name == engineName)
            engine.sharedSrcPath = sharedSrcPath;
    }
}

bool TestSdk::save()
{
    QString error;
    if (!m_configuration.save(&error)) {
        qWarning("Cannot save the test SDK: %s", qPrintable(error));
        return false;
    }
    if (Pelk::Sdk::instance())
        Pelk::Sdk::reload();
    return true;
}

QString TestSdk::createPassThroughRunCommand()
{
    const QString fileName = path() + "/bin/run-direct";
    if (!writeFile(fileName, "#!/bin/sh\nexec \"$@\"\n"))
        return QString();
    QFile::setPermissions(fileName,
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup
                              | QFile::ExeGroup);
    return fileName;
}

QString TestSdk::createDemo(const QString &dir, QString *errorString)
{
    const QString tool = qEnvironmentVariable("QUILLMARK_BUILD_DIR") + "/bin/kelvara-sdk";
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(tool, {"create", dir});
    const bool finished = process.waitForFinished(-1);
    if (finished && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0)
        return dir;
    if (errorString) {
        *errorString = QString("%1 create %2 failed: %3%4")
                           .arg(tool,
                                dir,
                                process.errorString(),
                                QString::fromLocal8Bit(process.readAll()));
    }
    return QString();
}
