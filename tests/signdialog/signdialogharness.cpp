#include "signdialogharness.h"

#include <QFile>

SignDialogHarness::SignDialogHarness()
{
    const QString script = qEnvironmentVariable("QUILLMARK_SOURCE_DIR")
                           + "/tests/signdialog/fakecontainer.sh";
    m_valid = m_dir.isValid() && QFile::copy(script, runCommand())
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
    QFile file(filePath(name));
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size())
        return QString();
    return file.fileName();
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

void SignDialogHarness::clearDumpText() const
{
    QFile::remove(filePath("dump.txt"));
}

void SignDialogHarness::setOpensslFailure(const QByteArray &output) const
{
    writeFile("fail-openssl", output);
}

void SignDialogHarness::clearOpensslFailure() const
{
    QFile::remove(filePath("fail-openssl"));
}

void SignDialogHarness::setPrompting(bool prompting) const
{
    if (prompting)
        writeFile("prompt", {});
    else
        QFile::remove(filePath("prompt"));
}
