// The whole road of a build: the IDE builds the demo project in the build container, and the
// sign step that the IDE inserted signs its packages with the real pkgseal in the sandbox.

#include <testide.h>
#include <testsdk.h>

#include <QDirIterator>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

namespace {

struct ProcessResult
{
    int exitCode = -1;
    QString output;      // standard output
    QString errorOutput; // standard error
};

ProcessResult runProcess(
    const QString &program,
    const QStringList &arguments,
    const QString &workingDirectory = QString(),
    const QProcessEnvironment &environment = QProcessEnvironment::systemEnvironment())
{
    QProcess process;
    process.setWorkingDirectory(workingDirectory);
    process.setProcessEnvironment(environment);
    process.start(program, arguments);
    ProcessResult result;
    if (!process.waitForStarted(-1) || !process.waitForFinished(240000)) {
        process.kill();
        process.waitForFinished();
        result.output = process.errorString() + '\n';
    } else {
        result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    }
    result.output += QString::fromUtf8(process.readAllStandardOutput());
    result.errorOutput = QString::fromUtf8(process.readAllStandardError());
    return result;
}

// What a program showed on the pseudo-terminal that it ran in.
struct TerminalRun
{
    int exitCode = -1;
    QByteArray shown;
    bool promptSeen = false;
    bool echoAtPrompt = true;
};

// Runs the program in a new session whose controlling terminal is a pseudo-terminal, and types
// the answer once the prompt shows.
TerminalRun runInTerminal(const QString &program,
                          const QStringList &arguments,
                          const QByteArray &prompt,
                          const QByteArray &answer)
{
    QList<QByteArray> words{QFile::encodeName(program)};
    for (const QString &argument : arguments)
        words.append(argument.toLocal8Bit());
    std::vector<char *> argv;
    for (QByteArray &word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);

    TerminalRun run;
    int terminal = -1;
    const pid_t pid = forkpty(&terminal, nullptr, nullptr, nullptr);
    if (pid < 0)
        return run;
    if (pid == 0) {
        execv(argv[0], argv.data());
        _exit(127);
    }
    for (;;) {
        pollfd readable{terminal, POLLIN, 0};
        if (poll(&readable, 1, 240000) <= 0) {
            kill(pid, SIGKILL);
            break;
        }
        char buffer[4096];
        const ssize_t count = read(terminal, buffer, sizeof buffer);
        if (count <= 0)
            break; // the program has closed the terminal
        run.shown.append(buffer, int(count));
        if (!run.promptSeen && run.shown.contains(prompt)) {
            run.promptSeen = true;
            termios settings{};
            tcgetattr(terminal, &settings);
            run.echoAtPrompt = settings.c_lflag & ECHO;
            if (write(terminal, answer.constData(), size_t(answer.size())) != answer.size())
                break;
        }
    }
    int status = 0;
    waitpid(pid, &status, 0);
    close(terminal);
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

// The processes that still run with the text in their command line.
QStringList processesWith(const QString &text)
{
    QStringList found;
    for (const QString &pid : QDir("/proc").entryList({"[0-9]*"}, QDir::Dirs)) {
        QFile commandLine("/proc/" + pid + "/cmdline");
        if (commandLine.open(QIODevice::ReadOnly)) {
            const QByteArray words = commandLine.readAll().replace('\0', ' ');
            if (words.contains(text.toLocal8Bit()))
                found.append(QString::fromLocal8Bit(words));
        }
    }
    return found;
}

} // namespace

class tst_MainJob : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void encryptedKeyWithoutTerminalFailsNamingTheKey();
    void encryptedKeyIsAskedForOnTheTerminal();
    void sigtermStopsTheBuild();

private:
    QStringList ideArguments(const QString &project) const;
    ProcessResult buildInIde();
    ProcessResult runInContainer(const QStringList &command);
    void setGlobalKeys(const QString &key, const QString &certificate);
    void checkDeveloperSigned(const ProcessResult &build);

    QTemporaryDir m_dir;
    QString m_sdk;
    QString m_workspace;
    QString m_project;
    QString m_settings;
};

void tst_MainJob::initTestCase()
{
    for (const char *tool : {"pkgseal", "kelvara-run", "kelvara-sdk"}) {
        if (!QFile::exists(TestIde::binDir() + '/' + tool))
            QSKIP(qPrintable(QString("bin/%1 is not built").arg(tool)));
    }
    QVERIFY(QFile::exists(TestIde::binDir() + "/kelvara-ide"));
    QVERIFY(m_dir.isValid());

    QString error;
    m_sdk = TestSdk::createDemo(m_dir.filePath("sdk"), &error);
    QVERIFY2(!m_sdk.isEmpty(), qPrintable(error));
    m_workspace = m_sdk + "/workspace";
    m_project = m_workspace + "/hello";
    m_settings = m_dir.filePath("settings");
    QVERIFY(QDir(m_project).exists());

    // Only the workspace is seen inside the container: the test's own pairs go there.
    QVERIFY(QDir().mkpath(m_workspace + "/keys"));
    for (const char *file : {"developer-key-encrypted.pem", "developer-cert.pem"})
        QVERIFY(QFile::copy(m_sdk + "/keys/" + file, m_workspace + "/keys/" + file));
    QVERIFY(QFile::copy(m_sdk + "/ca/root-ca.pem", m_workspace + "/keys/root-ca.pem"));
}

QStringList tst_MainJob::ideArguments(const QString &project) const
{
    return {"-settingspath", m_settings, "--sdk", m_sdk, "--build", project};
}

// The IDE runs in a session of its own, without a terminal to ask the user on.
ProcessResult tst_MainJob::buildInIde()
{
    return runProcess("setsid",
                      QStringList{"-w", TestIde::binDir() + "/kelvara-ide"}
                          + ideArguments(m_project));
}

ProcessResult tst_MainJob::runInContainer(const QStringList &command)
{
    QProcessEnvironment environment;
    environment.insert("WORKSPACE_DIR", m_workspace);
    return runProcess(m_sdk + "/bin/run-kelvara-build", command, m_workspace, environment);
}

void tst_MainJob::setGlobalKeys(const QString &key, const QString &certificate)
{
    QSettings settings(m_settings + "/Kelvara/KelvaraIDE.ini", QSettings::IniFormat);
    settings.setValue("Quillmark.GlobalSignKey", key);
    settings.setValue("Quillmark.GlobalSignCert", certificate);
}

// Both packages of the build were signed, and the notes that the dump of their signatures gave
// came after the end of signing.
void tst_MainJob::checkDeveloperSigned(const ProcessResult &build)
{
    QCOMPARE(build.exitCode, 0);
    QStringList built;
    QDirIterator it(m_workspace, {"*.rpm"}, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext())
        built.append(it.next());
    QCOMPARE(built.size(), 2);
    const int success = build.output.indexOf("Package sign completed successfully.");
    QVERIFY2(success > build.output.indexOf("Signing RPM package..."), qPrintable(build.output));
    for (const QString &package : built) {
        const QString note = "Note: Packages " + QFileInfo(package).fileName()
                             + " signed with developer key";
        QVERIFY2(build.output.indexOf(note) > success, qPrintable(build.output));
    }
    const ProcessResult verify = runInContainer(
        QStringList{"pkgseal", "verify", "--root-cert", m_workspace + "/keys/root-ca.pem"} + built);
    QVERIFY2(verify.exitCode == 0, qPrintable(verify.output));
}

// The refusal names the key; no progress shows where there is no terminal, and the messages go
// to standard error.
void tst_MainJob::encryptedKeyWithoutTerminalFailsNamingTheKey()
{
    const QString key = m_workspace + "/keys/developer-key-encrypted.pem";
    setGlobalKeys(key, m_workspace + "/keys/developer-cert.pem");
    const ProcessResult build = buildInIde();
    QCOMPARE(build.exitCode, 1);
    const QString refusal = build.errorOutput.split('\n').filter("no terminal").value(0);
    QVERIFY2(refusal.contains(key), qPrintable(build.errorOutput));
    QVERIFY(!build.output.contains("Package sign completed successfully."));
    QVERIFY(!build.output.contains("Step 2 of 2"));
    // The message pane's lines, the dump of the unsigned packages among them, go to stderr.
    QVERIFY2(build.errorOutput.contains("[I]\tNo signatures.\n"), qPrintable(build.errorOutput));
    QVERIFY(!build.output.contains("[I]\t"));
}

void tst_MainJob::encryptedKeyIsAskedForOnTheTerminal()
{
    setGlobalKeys(m_workspace + "/keys/developer-key-encrypted.pem",
                  m_workspace + "/keys/developer-cert.pem");
    const TerminalRun run = runInTerminal(TestIde::binDir() + "/kelvara-ide",
                                          ideArguments(m_project),
                                          "Enter passphrase",
                                          "kelvara-demo\n");
    QVERIFY2(run.promptSeen, run.shown.constData());
    QVERIFY(!run.echoAtPrompt);
    QVERIFY(!run.shown.contains("kelvara-demo"));
    // On a terminal, the progress shows below the output.
    QVERIFY(run.shown.contains("] Step 2 of 2: RPM Sign (pkgseal)"));
    checkDeveloperSigned({run.exitCode, QString::fromUtf8(run.shown), {}});
}

void tst_MainJob::sigtermStopsTheBuild()
{
    // One big package, so that signing it takes a while.
    const QString project = m_workspace + "/big";
    QVERIFY(QDir().mkpath(project));
    QFile recipe(project + "/big.spec");
    QVERIFY(recipe.open(QIODevice::WriteOnly));
    recipe.write(
        "Name: big\nVersion: 1.0\nRelease: 1\nSummary: Big\nLicense: MIT\nBuildArch: noarch\n"
        "%define _binary_payload w0.ufdio\n%description\nBig.\n%install\n"
        "mkdir -p %{buildroot}/usr/share/big\n"
        "head -c 200000000 /dev/urandom > %{buildroot}/usr/share/big/data\n"
        "%files\n/usr/share/big/data\n");
    recipe.close();
    setGlobalKeys(QString(), QString());

    QProcess ide;
    ide.start("setsid",
              QStringList{"-w", TestIde::binDir() + "/kelvara-ide"} + ideArguments(project));
    QByteArray output;
    while (!output.contains("Signing RPM package...") && ide.waitForReadyRead(240000))
        output += ide.readAllStandardOutput();
    QVERIFY2(output.contains("Signing RPM package..."), output.constData());
    QCOMPARE(kill(pid_t(ide.processId()), SIGTERM), 0);
    QVERIFY(ide.waitForFinished(240000));
    QCOMPARE(ide.exitStatus(), QProcess::NormalExit);
    QCOMPARE(ide.exitCode(), 1);
    QVERIFY(ide.readAllStandardError().contains("SIGTERM received: canceling the build..."));

    // The package is as rpmbuild wrote it, or fully signed.
    const QString package = m_workspace + "/build-big-Debug/RPMS/noarch/big-1.0-1.noarch.rpm";
    const ProcessResult digests = runProcess("rpmkeys", {"-K", "--nosignature", package});
    QVERIFY2(digests.output.contains("digests OK"), qPrintable(digests.output));
    if (!runInContainer({"pkgseal", "dump", package}).output.contains("No signatures.")) {
        const ProcessResult verify = runInContainer(
            {"pkgseal", "verify", "--root-cert", m_workspace + "/keys/root-ca.pem", package});
        QVERIFY2(verify.exitCode == 0, qPrintable(verify.output + verify.errorOutput));
    }
    QTRY_VERIFY_WITH_TIMEOUT(processesWith(package).isEmpty(), 60000);
}

QTEST_GUILESS_MAIN(tst_MainJob)

#include "tst_mainjob.moc"
