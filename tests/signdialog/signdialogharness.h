#pragma once

#include "../common/testsdk.h"

#include <QStringList>
#include <QTemporaryDir>

#include <memory>

// A folder holding a copy of fakecontainer.sh, the run command of the tests' build container,
// together with the files that steer it and the log of its calls; and a test SDK whose one
// container runs it.
class SignDialogHarness
{
public:
    SignDialogHarness();

    bool isValid() const;
    TestSdk &sdk() const { return *m_sdk; }
    QString runCommand() const;
    // Files beside the run command: outside every folder that the container shares.
    QString filePath(const QString &name) const;
    QString writeFile(const QString &name, const QByteArray &content) const;
    // Files of the SDK's workspace, which the container shares.
    QString inWorkspace(const QString &name) const;
    QString writeWorkspaceFile(const QString &name, const QByteArray &content) const;

    // Back to a container that answers every call at once and succeeds.
    void reset() const;

    // One entry per run, the tool's words joined with blanks.
    QStringList calls() const;
    void clearCalls() const;

    // The next run waits in the container until release() is called.
    void holdNextCall() const;
    bool heldCallStarted() const;
    void release() const;

    void setDumpText(const QByteArray &text) const;
    // Runs of the command ("pkgseal sign", "openssl req", ...) write the text to their error
    // output and fail.
    void setFailure(const QString &command, const QByteArray &errorText) const;
    // "openssl genpkey ... -aes256" makes its key file, then asks for a pass phrase.
    void setPrompting(bool prompting) const;

private:
    QTemporaryDir m_dir;
    std::unique_ptr<TestSdk> m_sdk;
    bool m_valid = false;
};
