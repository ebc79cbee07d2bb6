#include "signdialogharness.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

static bool writeTo(const QString &fileName, const QByteArray &content)
{
    QFile file(fileName);
    return QDir().mkpath(QFileInfo(fileName).absolutePath()) && file.open(QIODevice::WriteOnly)
           && file.write(content) == content.size();
}

SignDialogHarness::SignDialogHarness()
{
    const QString script = qEnvironmentVariable("QUILLMARK_SOURCE_DIR")
                           + "/tests/signdialog/fakecontainer.sh";
    m_sdk = std::make_unique<TestSdk>(QStringList{runCommand()});
    m_valid = m_dir.isValid() && m_sdk->isValid() && QFile::copy(script, runCommand())
              && QFile::setPermissions(runCommand(),
                                       QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

bool SignDialogHarness::isValid() const
{
    return m_valid;
}

QString SignDialogHarness::runCommand() const
{
    return filePath("fakecontainer.sh");
}

QString SignDialogHarness::filePath(const QString &name) const
{
    return m_dir.filePath(name);
}

QString SignDialogHarness::writeFile(const QString &name, const QByteArray &content) const
{
    return writeTo(filePath(name), content) ? filePath(name) : QString();
}

QString SignDialogHarness::inWorkspace(const QString &name) const
{
    return m_sdk->workspacePath() + '/' + name;
}

QString SignDialogHarness::writeWorkspaceFile(const QString &name, const QByteArray &content) const
{
    return writeTo(inWorkspace(name), content) ? inWorkspace(name) : QString();
}

void SignDialogHarness::reset() const
{
    const QStringList steering = QDir(m_dir.path())
                                     .entryList({"hold", "release", "dump.txt", "fail-*", "prompt"},
                                                QDir::Files);
    for (const QString &name : steering)
        QFile::remove(filePath(name));
}

QStringList SignDialogHarness::calls() const
{
    QFile log(filePath("calls.log"));
    if (!log.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(log.readAll()).split('\n', Qt::SkipEmptyParts);
}

void SignDialogHarness::clearCalls() const
{
    QFile::remove(filePath("calls.log"));
}

void SignDialogHarness::holdNextCall() const
{
    writeFile("hold", {});
}

bool SignDialogHarness::heldCallStarted() const
{
    return !QFile::exists(filePath("hold")) && !QFile::exists(filePath("release"));
}

void SignDialogHarness::release() const
{
    writeFile("release", {});
}

void SignDialogHarness::setDumpText(const QByteArray &text) const
{
    writeFile("dump.txt", text);
}

void SignDialogHarness::setFailure(const QString &command, const QByteArray &errorText) const
{
    writeFile("fail-" + QString(command).replace(' ', '-'), errorText);
}

void SignDialogHarness::setPrompting(bool prompting) const
{
    if (prompting)
        writeFile("prompt", {});
    else
        QFile::remove(filePath("prompt"));
}
