#include "testprocess.h"

#include <sdkconfig/sdkconfig.h>

#include <QDir>
#include <QProcess>
#include <QRandomGenerator>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QtTest>

// Runs commands through the real kelvara-run in a temporary SDK whose path holds a blank and
// non-ASCII letters, the way the IDE does: environment with WORKSPACE_DIR only, no PATH.
class tst_Container : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void argumentsStreamsAndExitCodePassThrough();
    void runLeadsItsOwnProcessGroup();
    void environmentAndWorkingFolderArrive();
    void hostFilesSeenInside();
    void readOnlyInside_data();
    void readOnlyInside();
    void writableOnlyWhereShared();
    void failuresAreExplained_data();
    void failuresAreExplained();

private:
    // The run command's arguments that run command in a container of an SDK.
    QStringList inContainer(const QStringList &command,
                            const QString &container = "kelvara-build",
                            const QString &sdk = {}) const;
    // Runs the run command from a working folder, the workspace when none is given.
    TestProcess run(const QStringList &arguments,
                    const QByteArray &input = {},
                    const QString &workingDir = {},
                    QProcessEnvironment hostEnvironment = {}) const;

    QTemporaryDir m_tempDir;
    QString m_sdk;
    QString m_workspace;
    QString m_otherShared;
    QString m_engine;
    QString m_runCommand;
};

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
    // The workspace is configured through a symbolic link, as a home folder on another disk is.
    m_workspace = root.filePath("workspace link");
    QVERIFY(QFile::link(root.filePath("workspace"), m_workspace));
    m_otherShared = root.filePath("shared-2");
    for (const QString &file : QStringList{m_sdk + "/keys/developer-key.pem",
                                           m_sdk + "/ca/root-ca.pem",
                                           m_engine + "/root-ca-bundle.pem"}) {
        QFile written(file);
        QVERIFY(written.open(QIODevice::WriteOnly) && written.write(file.toUtf8()) > 0);
    }

    SdkConfig::Configuration config;
    config.installationPath = m_sdk;
    config.workspace = m_workspace;
    config.engines = {{"kelvara-engine", m_engine, m_workspace},
                      {"second-engine", m_engine, m_otherShared},
                      {"gone-engine", m_engine, root.filePath("no-such-folder")}};
    config.containers = {{"kelvara-build", "kelvara-engine", m_runCommand, {"NAMED_BY_SDK"}}};
    QString errorString;
    QVERIFY2(config.save(&errorString), qPrintable(errorString));
}

QStringList tst_Container::inContainer(const QStringList &command,
                                       const QString &container,
                                       const QString &sdk) const
{
    return QStringList{"--sdk", sdk.isEmpty() ? m_sdk : sdk, "--container", container, "--"}
           + command;
}

TestProcess tst_Container::run(const QStringList &arguments,
                               const QByteArray &input,
                               const QString &workingDir,
                               QProcessEnvironment hostEnvironment) const
{
    hostEnvironment.insert("WORKSPACE_DIR", m_workspace);
    return TestProcess::run(m_runCommand,
                            arguments,
                            input,
                            workingDir.isEmpty() ? m_workspace : workingDir,
                            hostEnvironment);
}

void tst_Container::argumentsStreamsAndExitCodePassThrough()
{
    const QStringList arguments = QString::fromUtf8("one word|  blanks  |a\tb||$HOME|*|'single'|"
                                                    "\"double\"|back\\slash|a;b&c|Grüße путь 日本")
                                      .split('|');
    const QString script("printf '%s\\n' \"$@\"; cat; echo 'to standard error' >&2; exit 255");
    const QByteArray input("first line\nsecond line ü\n");
    const TestProcess outcome = run(inContainer(QStringList{"sh", "-c", script, "sh"} + arguments),
                                    input);
    QCOMPARE(outcome.exitCode, 255);
    QCOMPARE(outcome.output, (arguments.join('\n') + '\n').toUtf8() + input);
    QCOMPARE(outcome.errorOutput, QByteArray("to standard error\n"));
}

// Whoever stops a run stops the run command's process group, where the sandbox is set up.
void tst_Container::runLeadsItsOwnProcessGroup()
{
    QProcess process;
    process.setWorkingDirectory(m_workspace);
    process.start(m_runCommand, inContainer({"cat"}));
    process.write("started\n");
    QVERIFY(process.waitForReadyRead(120 * 1000));
    QFile stat(QString("/proc/%1/stat").arg(process.processId()));
    QVERIFY(stat.open(QIODevice::ReadOnly));
    // After the command's name: state, parent, process group.
    const QList<QByteArray> fields = stat.readAll().split(')').last().trimmed().split(' ');
    QCOMPARE(fields.at(2).toLongLong(), process.processId());
    process.closeWriteChannel();
    QVERIFY(process.waitForFinished(120 * 1000));
}

// Of the host's environment only what a build needs and what the SDK names gets in. The working
// folder is seen at its path in the workspace, though the kernel knows it by its real path.
void tst_Container::environmentAndWorkingFolderArrive()
{
    QProcessEnvironment host;
    const QString variables(
        "PATH=/usr/bin:/bin LANG=C.UTF-8 LC_TIME=C TERM=dumb NAMED_BY_SDK=passed "
        "KELVARA_SECRET=outside LD_PRELOAD=libc.so.6 OPENSSL_CONF=/host.cnf");
    for (const QString &variable : variables.split(' '))
        host.insert(variable.section('=', 0, 0), variable.section('=', 1));
    host.insert("HOME", m_workspace);
    const QString subDir = m_workspace + "/sub dir";
    const QString script("pwd; env; touch \"$HOME/written\" && ls -A \"$HOME\"");
    const TestProcess outcome = run(inContainer({"sh", "-c", script}), {}, subDir, host);
    QVERIFY2(outcome.succeeded(), qPrintable(outcome.describe()));

    QStringList output = lines(outcome.output);
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

// What builds need is there as on the host: users and groups, name resolution, certificates, the
// commands of Debian's alternatives, the time zone. Whatever the host keeps from other users
// (shadow files, private keys, ...) stays outside, whatever its name, and so do the host's
// secrets that anyone may read; the engine's own keys are the container's.
void tst_Container::hostFilesSeenInside()
{
    const QString needed(
        "for file in /etc/passwd /etc/group /etc/nsswitch.conf /etc/hosts "
        "/etc/resolv.conf /etc/ssl/certs/ca-certificates.crt /etc/alternatives/awk "
        "/etc/localtime /etc/ld.so.cache; do [ ! -r $file ] || cat $file; done");
    const QByteArray onHost = TestProcess::run("sh", {"-c", needed}).output;
    QVERIFY(!onHost.isEmpty());
    QCOMPARE(run(inContainer({"sh", "-c", needed})).output, onHost);

    const QString script("ls -d /etc/shadow /etc/gshadow /etc/ssl/private /etc/ssh /etc/sudoers "
                         "/var/backups /var/lib /var/log /root 2>/dev/null; find /etc /var /opt "
                         "-path /etc/keys -prune -o ! -type l ! -perm -o=r -print");
    QCOMPARE(run(inContainer({"sh", "-c", script})).output, QByteArray());
}

void tst_Container::readOnlyInside_data()
{
    QTest::addColumn<QString>("file");
    const QString tools = QFileInfo(m_runCommand).canonicalPath();
    for (const QString &file : QStringList{"/etc/passwd",
                                           "/usr/bin/env",
                                           "/etc/keys/public/root-ca-bundle.pem",
                                           tools + "/kelvara-openssl.cnf",
                                           m_sdk + "/keys/developer-key.pem",
                                           m_sdk + "/ca/root-ca.pem"})
        QTest::newRow(qPrintable(QFileInfo(file).path())) << file;
}

// Each read-only bind shows what the host has there (the engine's folder as /etc/keys/public),
// and nothing can be written into it; /etc lies in the container's root.
void tst_Container::readOnlyInside()
{
    QFETCH(QString, file);
    const QString folder = QFileInfo(file).path();
    QFile hostFile(QString(file).replace("/etc/keys/public", m_engine));
    QVERIFY(hostFile.open(QIODevice::ReadOnly));
    const QString newFile = QDir(folder).filePath("written-inside");
    // Should the bind be writable after all, the file must not stay to fail later runs.
    const auto removal = qScopeGuard([&] { QFile::remove(newFile); });
    const TestProcess outcome = run(
        inContainer({"sh", "-c", "cat \"$0\" && touch \"$1\"", file, newFile}));
    QVERIFY2(outcome.exitCode != 0, qPrintable(newFile));
    QVERIFY2(outcome.errorOutput.contains("Read-only file system"), qPrintable(outcome.describe()));
    QCOMPARE(outcome.output, hostFile.readAll());
    QVERIFY(!QFileInfo::exists(newFile));
}

void tst_Container::writableOnlyWhereShared()
{
    const QString inWorkspace = m_workspace + "/written inside";
    const QString inOtherShared = m_otherShared + "/written inside";
    const TestProcess written = run(inContainer(
        {"sh", "-c", "echo ws > \"$0\" && echo other > \"$1\"", inWorkspace, inOtherShared}));
    QVERIFY2(written.succeeded(), qPrintable(written.describe()));
    QVERIFY(QFile::exists(inWorkspace) && QFile::exists(inOtherShared));

    // Not even root could remount the rest writable: the tool has no capabilities.
    QCOMPARE(run(inContainer({"grep", "CapEff", "/proc/self/status"})).output,
             QByteArray("CapEff:\t0000000000000000\n"));

    const QString privateFile = "/tmp/kelvara-private-"
                                + QString::number(QRandomGenerator::global()->generate());
    QCOMPARE(run(inContainer({"sh", "-c", "echo x > \"$0\" && cat \"$0\"", privateFile})).output,
             QByteArray("x\n"));
    QVERIFY(!QFile::exists(privateFile));
}

void tst_Container::failuresAreExplained_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("workingDir");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("message");

    const QString noSdk = m_tempDir.filePath("no-sdk-here");
    QTest::newRow("missing SDK") << inContainer({"true"}, "kelvara-build", noSdk) << "" << 125
                                 << "Cannot read the SDK configuration " + noSdk;
    QTest::newRow("unknown container")
        << inContainer({"true"}, "nosuch") << "" << 125
        << "has no build container \"nosuch\" (known containers: kelvara-build)";
    QTest::newRow("working folder outside")
        << inContainer({"true"}) << m_engine << 125
        << "The working folder " + m_engine + " is not inside the workspace";
    QTest::newRow("no command") << inContainer({}) << "" << 125 << "No command given";
    QTest::newRow("tool not found")
        << inContainer({"no-such-tool"}) << "" << 127 << "no-such-tool: not found";
    QTest::newRow("tool not executable")
        << inContainer({"/etc/keys/public/root-ca-bundle.pem"}) << "" << 126 << "Permission denied";
}

void tst_Container::failuresAreExplained()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, workingDir);
    QFETCH(int, exitCode);
    QFETCH(QString, message);
    const TestProcess outcome = run(arguments, {}, workingDir);
    QCOMPARE(outcome.exitCode, exitCode);
    QVERIFY2(QString::fromUtf8(outcome.errorOutput).contains(message),
             qPrintable(outcome.describe()));
    QVERIFY(outcome.output.isEmpty());
}

QTEST_GUILESS_MAIN(tst_Container)

#include "tst_container.moc"
