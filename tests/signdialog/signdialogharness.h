#pragma once

#include <QStringList>
#include <QTemporaryDir>

// A folder holding a copy of fakecontainer.sh, the run command of the tests' build container,
// together with the files that steer it and the log of its calls.
class SignDialogHarness
{
public:
    SignDialogHarness();

    bool isValid() const;
    QString runCommand() const;
    QString filePath(const QString &name) const;
    QString writeFile(const QString &name, const QByteArray &content) const;

    // One entry per run, the tool's words joined with blanks.
    QStringList calls() const;
    void clearCalls() const;

    // The next run waits in the container until release() is called.
    void holdNextCall() const;
    bool heldCallStarted() const;
    void release() const;

    void setDumpText(const QByteArray &text) const;
    void clearDumpText() const;
    void setOpensslFailure(const QByteArray &output) const;
    void clearOpensslFailure() const;
    // "openssl genpkey ... -aes256" asks for a pass phrase on its standard output.
    void setPrompting(bool prompting) const;

private:
    QTemporaryDir m_dir;
    bool m_valid = false;
};
