#include <sdkconfig/sdkconfig.h>

#include <QDir>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>

struct RunOutcome
{
    int exitCode = -1;
    QProcess::ExitStatus exitStatus = QProcess::CrashExit;
    QByteArray output;
    QByteArray error;
};

// Runs commands through the real kelvara-run in a temporary SDK whose path holds a blank and
// non-ASCII letters, the way the IDE does: environment with WORKSPACE_DIR only, no PATH.
class tst_Container : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void argumentsArriveUnchanged_data();
    void argumentsArriveUnchanged();
    void environmentAndWorkingFolderArrive();
    void streamsAndExitCodePassThrough_data();
    void streamsAndExitCodePassThrough();
    void defaultKeysExistOnlyInside();
    void hostFilesSeenInside_data();
    void hostFilesSeenInside();
    void nothingTheHostHidesIsVisible();
    void readOnlyInside_data();
    void readOnlyInside();
    void writableOnlyWhereShared();
    void opensslAsksForPassPhraseOnStandardStreams();
    void opensslHandlesGostKeysWithoutEngineOption();
    void killingRunCommandKillsTool();
    void failuresAreExplained_data();
    void failuresAreExplained();

private:
    QString writeSdkWithoutWorkspace();
    void start(QProcess &process,
               const QStringList &command,
               const QString &workingDir = {},
               const QString &sdk = {},
               const QString &container = "kelvara-build",
               const QProcessEnvironment &hostEnvironment = {});
    RunOutcome run(const QStringList &command,
                   const QByteArray &input = {},
                   const QString &workingDir = {});

    QTemporaryDir m_tempDir;
    QString m_sdk;
    QString m_workspace;
    QString m_otherShared;
    QString m_engine;
    QString m_sdkKeys;
    QString m_sdkCa;
    QString m_runCommand;
};

static bool writeFile(const QString &fileName, const QByteArray &contents)
{
    QFile file(fileName);
    return file.open(QIODevice::WriteOnly) && file.write(contents) == contents.size();
}

static QStringList lines(const QByteArray &bytes)
{
    return QString::fromUtf8(bytes).split('\n', Qt::SkipEmptyParts);
}

void tst_Container::initTestCase()
{
    m_runCommand = qEnvironmentVariable("QUILLMARK_BUILD_DIR") + "/bin/kelvara-run";
    QVERIFY2(QFileInfo(m_runCommand).isExecutable(), qPrintable(m_runCommand));
    QVERIFY(m_tempDir.isValid());

    const QDir root(m_tempDir.filePath(QString::fromUtf8("SDK mit Ümlaut")));
    QVERIFY(root.mkpath("engine") && root.mkpath("workspace/sub dir") && root.mkpath("shared-2")
            && root.mkpath("keys") && root.mkpath("ca"));
    m_sdk = root.absolutePath();
    m_engine = root.filePath("engine");
    m_sdkKeys = root.filePath("keys");
    m_sdkCa = root.filePath("ca");
    QVERIFY(writeFile(m_sdkKeys + "/developer-key.pem", "content of developer-key.pem"));
    QVERIFY(writeFile(m_sdkCa + "/root-ca.pem", "content of root-ca.pem"));
    m_workspace = root.filePath("workspace");
    m_otherShared = root.filePath("shared-2");
    for (const char *name :
         {"developer-key-release.pem", "developer-regular-release-cert.pem", "root-ca-bundle.pem"}) {
        QVERIFY(writeFile(m_engine + '/' + name, QByteArray("content of ") + name));
    }

    SdkConfig::Configuration config;
    config.installationPath = m_sdk;
    config.name = "Container Test SDK";
    config.workspace = m_workspace;
    config.engines = {{"kelvara-engine", m_engine, m_workspace},
                      {"second-engine", m_engine, m_otherShared},
                      {"gone-engine", m_engine, root.filePath("no-such-folder")}};
    config.containers = {{"kelvara-build", "kelvara-engine", m_runCommand, {"NAMED_BY_SDK"}},
                         {"orphan", "no-such-engine", m_runCommand}};
    QString errorString;
    QVERIFY2(config.save(&errorString), qPrintable(errorString));

    QVERIFY(!writeSdkWithoutWorkspace().isEmpty());
}

// A further SDK whose workspace folder is missing.
QString tst_Container::writeSdkWithoutWorkspace()
{
    const QDir dir(m_tempDir.filePath("no-workspace"));
    if (!dir.mkpath("engine"))
        return {};
    SdkConfig::Configuration config;
    config.installationPath = dir.absolutePath();
    config.workspace = dir.absoluteFilePath("missing-workspace");
    config.engines = {{"kelvara-engine", dir.absoluteFilePath("engine"), config.workspace}};
    config.containers = {{"kelvara-build", "kelvara-engine", m_runCommand}};
    QString errorString;
    return config.save(&errorString) ? dir.absolutePath() : QString();
}

void tst_Container::start(QProcess &process,
                          const QStringList &command,
                          const QString &workingDir,
                          const QString &sdk,
                          const QString &container,
                          const QProcessEnvironment &hostEnvironment)
{
    QProcessEnvironment environment = hostEnvironment;
    environment.insert("WORKSPACE_DIR", m_workspace);
    process.setProcessEnvironment(environment);
    process.setWorkingDirectory(workingDir.isEmpty() ? m_workspace : workingDir);
    process.start(m_runCommand,
                  QStringList{"--sdk", sdk.isEmpty() ? m_sdk : sdk, "--container", container, "--"}
                      + command);
}

RunOutcome tst_Container::run(const QStringList &command,
                              const QByteArray &input,
                              const QString &workingDir)
{
    QProcess process;
    start(process, command, workingDir);
    process.write(input);
    process.closeWriteChannel();
    process.waitForFinished(-1);
    return {process.exitCode(),
            process.exitStatus(),
            process.readAllStandardOutput(),
            process.readAllStandardError()};
}

void tst_Container::argumentsArriveUnchanged_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("blanks") << QStringList{"one word", "  leading and trailing  ", "a\tb"};
    QTest::newRow("non-ASCII") << QStringList{QString::fromUtf8("Grüße"),
                                              QString::fromUtf8("путь к файлу"),
                                              QString::fromUtf8("日本")};
    QTest::newRow("shell characters")
        << QStringList{"$HOME", "*", "'single'", "\"double\"", "back\\slash", "a;b|c&"};
    QTest::newRow("empty word") << QStringList{"before", "", "after"};
}

void tst_Container::argumentsArriveUnchanged()
{
    QFETCH(QStringList, arguments);
    const RunOutcome outcome = run(QStringList{"sh", "-c", "printf '[%s]\\n' \"$@\"", "sh"}
                                   + arguments);
    QCOMPARE(outcome.exitCode, 0);
    QStringList expected;
    for (const QString &argument : arguments)
        expected << '[' + argument + ']';
    QCOMPARE(lines(outcome.output), expected);
}

// Of the host's environment only what a build needs and what the SDK names gets in.
void tst_Container::environmentAndWorkingFolderArrive()
{
    QProcessEnvironment host;
    host.insert("PATH", "/usr/bin:/bin");
    host.insert("LANG", "C.UTF-8");
    host.insert("LC_TIME", "C");
    host.insert("TERM", "dumb");
    host.insert("NAMED_BY_SDK", "passed");
    host.insert("KELVARA_TEST_SECRET", "must stay outside");
    host.insert("LD_PRELOAD", "libc.so.6");
    host.insert("OPENSSL_CONF", "/host/only/openssl.cnf");
    host.insert("HOME", m_workspace);
    const QString subDir = m_workspace + "/sub dir";
    QProcess process;
    const QString script("pwd; env; touch \"$HOME/written\" && ls -A \"$HOME\"");
    start(process, {"sh", "-c", script}, subDir, {}, "kelvara-build", host);
    QVERIFY(process.waitForFinished(-1));
    QCOMPARE(process.exitCode(), 0);

    QStringList output = lines(process.readAllStandardOutput());
    QCOMPARE(output.takeFirst(), subDir);
    QCOMPARE(output.takeLast(), QString("written"));
    QMap<QString, QString> inside;
    for (const QString &line : qAsConst(output))
        inside.insert(line.section('=', 0, 0), line.section('=', 1));
    QCOMPARE(QStringList(inside.keys()).join(' '),
             QString("HOME LANG LC_TIME NAMED_BY_SDK OPENSSL_CONF PATH PWD TERM WORKSPACE_DIR"));
    const QString toolsDir = QFileInfo(m_runCommand).canonicalPath();
    QCOMPARE(inside.value("PATH"), toolsDir + ":/usr/bin:/bin");
    QCOMPARE(inside.value("WORKSPACE_DIR"), m_workspace);
    QCOMPARE(inside.value("NAMED_BY_SDK"), QString("passed"));
    QCOMPARE(inside.value("OPENSSL_CONF"), toolsDir + "/kelvara-openssl.cnf");
    // A home of its own, gone with the run.
    QVERIFY(inside.value("HOME") != m_workspace);
    QVERIFY(!QFileInfo::exists(m_workspace + "/written"));
}

void tst_Container::streamsAndExitCodePassThrough_data()
{
    QTest::addColumn<int>("exitCode");
    QTest::newRow("success") << 0;
    QTest::newRow("failure") << 1;
    QTest::newRow("code 42") << 42;
    QTest::newRow("code 255") << 255;
}

void tst_Container::streamsAndExitCodePassThrough()
{
    QFETCH(int, exitCode);
    const QByteArray input("first line\nsecond line ü\n");
    const RunOutcome outcome = run({"sh",
                                    "-c",
                                    "cat; echo 'to standard error' >&2; exit \"$0\"",
                                    QString::number(exitCode)},
                                   input);
    QCOMPARE(outcome.exitStatus, QProcess::NormalExit);
    QCOMPARE(outcome.exitCode, exitCode);
    QCOMPARE(outcome.output, input);
    QCOMPARE(outcome.error, QByteArray("to standard error\n"));
}

void tst_Container::defaultKeysExistOnlyInside()
{
    const QStringList names{"developer-key-release.pem",
                            "developer-regular-release-cert.pem",
                            "root-ca-bundle.pem"};
    for (const QString &name : names) {
        const QString inside = "/etc/keys/public/" + name;
        const RunOutcome outcome = run({"cat", inside});
        QCOMPARE(outcome.exitCode, 0);
        QCOMPARE(outcome.output, "content of " + name.toUtf8());
        QVERIFY2(!QFile::exists(inside), qPrintable(inside));
    }
}

void tst_Container::hostFilesSeenInside_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("visible");
    // What builds need: users and groups, name resolution, certificates, the commands that
    // Debian's alternatives provide, the time zone; then secrets of the host.
    const QString needed("/etc/passwd /etc/group /etc/nsswitch.conf /etc/hosts /etc/resolv.conf "
                         "/etc/ssl/certs/ca-certificates.crt /etc/alternatives/awk "
                         "/etc/localtime /etc/ld.so.cache");
    const QString secret("/etc/shadow /etc/gshadow /etc/ssl/private /etc/ssh /etc/sudoers "
                         "/var/backups /var/lib /var/log /root");
    for (const QString &path : needed.split(' '))
        QTest::newRow(qPrintable(path)) << path << true;
    for (const QString &path : secret.split(' '))
        QTest::newRow(qPrintable(path)) << path << false;
}

void tst_Container::hostFilesSeenInside()
{
    QFETCH(QString, path);
    QFETCH(bool, visible);
    if (!QFileInfo::exists(path))
        QSKIP("The host has no such file.");
    const RunOutcome outcome = run(
        {"sh", "-c", "test -e \"$0\" || exit 1; test -d \"$0\" || cat \"$0\"", path});
    QCOMPARE(outcome.exitCode == 0, visible);
    if (visible && QFileInfo(path).isFile()) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(outcome.output, file.readAll());
    }
}

// Whatever the host keeps from other users (shadow files, private keys, ...) stays outside,
// whatever its name; the engine's own keys are the container's.
void tst_Container::nothingTheHostHidesIsVisible()
{
    const RunOutcome outcome = run(
        {"sh", "-c", "find /etc /var /opt -path /etc/keys -prune -o ! -type l ! -perm -o=r -print"});
    QCOMPARE(outcome.output, QByteArray());
}

void tst_Container::readOnlyInside_data()
{
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("readable");
    QTest::newRow("root") << "/" << QString();
    QTest::newRow("system") << "/usr" << QString();
    QTest::newRow("etc") << "/etc" << QString();
    QTest::newRow("engine's keys") << "/etc/keys/public"
                                   << "root-ca-bundle.pem";
    QTest::newRow("tools") << QFileInfo(m_runCommand).canonicalPath() << "kelvara-run";
    QTest::newRow("SDK's keys") << m_sdkKeys << "developer-key.pem";
    QTest::newRow("SDK's CA") << m_sdkCa << "root-ca.pem";
}

void tst_Container::readOnlyInside()
{
    QFETCH(QString, folder);
    QFETCH(QString, readable);
    const QString newFile = QDir(folder).filePath("written-inside");
    const RunOutcome outcome = run({"touch", newFile});
    QVERIFY2(outcome.exitCode != 0, qPrintable(newFile));
    QVERIFY2(outcome.error.contains("Read-only file system"), outcome.error.constData());
    QVERIFY(!QFileInfo::exists(newFile));
    if (!readable.isEmpty())
        QCOMPARE(run({"test", "-r", QDir(folder).filePath(readable)}).exitCode, 0);
}

void tst_Container::writableOnlyWhereShared()
{
    const QString inWorkspace = m_workspace + "/written inside";
    const QString inOtherShared = m_otherShared + "/written inside";
    const RunOutcome written = run(
        {"sh", "-c", "echo ws > \"$0\" && echo other > \"$1\"", inWorkspace, inOtherShared});
    QCOMPARE(written.exitCode, 0);
    QVERIFY(QFile::exists(inWorkspace));
    QVERIFY(QFile::exists(inOtherShared));

    // Not even root could remount the rest writable: the tool has no capabilities.
    QCOMPARE(run({"grep", "CapEff", "/proc/self/status"}).output,
             QByteArray("CapEff:\t0000000000000000\n"));

    const QString privateFile = "/tmp/kelvara-private-"
                                + QString::number(QRandomGenerator::global()->generate());
    QCOMPARE(run({"sh", "-c", "echo x > \"$0\" && cat \"$0\"", privateFile}).output,
             QByteArray("x\n"));
    QVERIFY(!QFile::exists(privateFile));
}

// With no controlling terminal openssl prompts on standard error and reads standard input.
void tst_Container::opensslAsksForPassPhraseOnStandardStreams()
{
    const QByteArray passPhrase("container test phrase");
    const QString keyFile = m_workspace + "/encrypted-key.pem";
    QProcess process;
    process.setReadChannel(QProcess::StandardError);
    start(process, {"openssl", "genpkey", "-algorithm", "RSA", "-aes256", "-out", keyFile});
    const QList<QByteArray> prompts{"Enter PEM pass phrase:", "Verifying - Enter PEM pass phrase:"};
    QByteArray error;
    int answered = 0;
    while (answered < prompts.size() && process.waitForReadyRead(-1)) {
        error += process.readAllStandardError();
        if (error.trimmed().endsWith(prompts.at(answered))) {
            process.write(passPhrase + '\n');
            ++answered;
        }
    }
    process.waitForFinished(-1);
    QCOMPARE(answered, prompts.size());
    QCOMPARE(process.exitCode(), 0);

    QProcess check;
    check.start("openssl", {"pkey", "-in", keyFile, "-noout", "-passin", "stdin"});
    check.write(passPhrase + '\n');
    check.closeWriteChannel();
    check.waitForFinished(-1);
    QCOMPARE(check.exitCode(), 0);
}

// Requests are made with plain "openssl req", which must read GOST keys as well as RSA ones.
void tst_Container::opensslHandlesGostKeysWithoutEngineOption()
{
    const QString keyFile = m_workspace + "/gost-key.pem";
    const RunOutcome key = run({"openssl", "genpkey", "-engine", "gost", "-algorithm", "gost2012_256",
                             "-pkeyopt", "paramset:A", "-out", keyFile});
    QVERIFY2(key.exitCode == 0, key.error.constData());

    const RunOutcome request = run({"openssl", "req", "-new", "-batch", "-subj", "/CN=GOST test",
                                 "-key", keyFile, "-noout", "-text"});
    QVERIFY2(request.exitCode == 0, request.error.constData());
    QVERIFY2(request.output.contains("GOST R 34.10-2012"), request.output.constData());
}

// The host process id of the process with the given command line, or an empty string.
static QString findProcess(const QByteArray &commandLine)
{
    const QStringList entries = QDir("/proc").entryList(QDir::Dirs);
    for (const QString &pid : entries) {
        QFile cmdline("/proc/" + pid + "/cmdline");
        if (cmdline.open(QIODevice::ReadOnly) && cmdline.readAll() == commandLine)
            return pid;
    }
    return {};
}

static QByteArray sessionId(const QString &pid)
{
    QFile stat("/proc/" + pid + "/stat");
    if (!stat.open(QIODevice::ReadOnly))
        return {};
    // pid (comm) state ppid pgrp session ...
    const QByteArray line = stat.readAll();
    return line.mid(line.lastIndexOf(')') + 2).split(' ').value(3);
}

// Should the test fail, the tool that outlived its run command must not stay behind.
struct ToolReaper
{
    ~ToolReaper()
    {
        if (findProcess(commandLine) == pid)
            ::kill(pid.toInt(), SIGKILL);
    }
    QString pid;
    QByteArray commandLine;
};

void tst_Container::killingRunCommandKillsTool()
{
    const QString seconds = QString("1000.%1").arg(QRandomGenerator::global()->bounded(1000000));
    const QByteArray commandLine = QByteArray("sleep\0", 6) + seconds.toLatin1() + '\0';
    QProcess process;
    start(process, {"sleep", seconds});
    QVERIFY(process.waitForStarted(-1));
    QTRY_VERIFY_WITH_TIMEOUT(!findProcess(commandLine).isEmpty(), 20000);

    // A session of its own: no controlling terminal that openssl could prompt on.
    const QString toolPid = findProcess(commandLine);
    const ToolReaper reaper{toolPid, commandLine};
    const QByteArray toolSession = sessionId(toolPid);
    QVERIFY(!toolSession.isEmpty());
    QVERIFY(toolSession != sessionId(QString::number(process.processId())));

    process.kill();
    QVERIFY(process.waitForFinished(-1));
    QTRY_VERIFY_WITH_TIMEOUT(findProcess(commandLine).isEmpty(), 20000);
}

void tst_Container::failuresAreExplained_data()
{
    QTest::addColumn<QString>("sdk");
    QTest::addColumn<QString>("container");
    QTest::addColumn<QStringList>("command");
    QTest::addColumn<QString>("workingDir");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("message");

    const QString missingSdk = m_tempDir.filePath("no-sdk-here");
    QTest::newRow("missing SDK") << missingSdk << "kelvara-build" << QStringList{"true"} << ""
                                 << 125 << "Cannot read the SDK configuration " + missingSdk;
    QTest::newRow("unknown container") << ""
                                       << "nosuch" << QStringList{"true"} << "" << 125
                                       << "has no build container \"nosuch\" (known "
                                          "containers: kelvara-build, orphan)";
    QTest::newRow("unknown engine")
        << ""
        << "orphan" << QStringList{"true"} << "" << 125
        << "belongs to the engine \"no-such-engine\", which the SDK configuration";
    QTest::newRow("missing workspace")
        << m_tempDir.filePath("no-workspace") << "kelvara-build" << QStringList{"true"}
        << m_tempDir.path() << 125
        << "The workspace " + m_tempDir.filePath("no-workspace/missing-workspace") + " of the SDK";
    QTest::newRow("working folder outside")
        << ""
        << "kelvara-build" << QStringList{"true"} << m_engine << 125
        << "The working folder " + m_engine + " is not inside the workspace";
    QTest::newRow("no command") << ""
                                << "kelvara-build" << QStringList{} << "" << 125
                                << "No command given";
    QTest::newRow("tool not found") << ""
                                    << "kelvara-build" << QStringList{"no-such-tool-here"} << ""
                                    << 127 << "no-such-tool-here: not found";
    QTest::newRow("tool not executable")
        << ""
        << "kelvara-build" << QStringList{"/etc/keys/public/root-ca-bundle.pem"} << "" << 126
        << "Permission denied";
}

void tst_Container::failuresAreExplained()
{
    QFETCH(QString, sdk);
    QFETCH(QString, container);
    QFETCH(QStringList, command);
    QFETCH(QString, workingDir);
    QFETCH(int, exitCode);
    QFETCH(QString, message);

    QProcess process;
    start(process, command, workingDir, sdk, container);
    process.waitForFinished(-1);
    const QString error = QString::fromUtf8(process.readAllStandardError());
    QCOMPARE(process.exitCode(), exitCode);
    QVERIFY2(error.contains(message), qPrintable(error));
    QVERIFY(process.readAllStandardOutput().isEmpty());
}

QTEST_GUILESS_MAIN(tst_Container)

#include "tst_container.moc"
