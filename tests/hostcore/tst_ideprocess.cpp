#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

// kelvara-ide as a process, in a small installation of its own: the executable, the Core
// plug-in and test plug-ins (one of them refused for a missing dependency).
class tst_IdeProcess : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void versionListsPluginsAndRefusals();
    void pluginsGetTheArgumentsTheAppDoesNotTake();
    void sdkDefaultsToDemoSdkUnlessSetInEnvironment();
    void unknownTriggerIsReported();
    void missingOptionValueIsAnError();

private:
    struct Result
    {
        int exitCode = -1;
        QStringList out;
        QString err;
    };
    Result run(const QStringList &arguments, const QProcessEnvironment &environment);
    QProcessEnvironment environment() const;

    QTemporaryDir m_installation;
    QString m_ide;
};

void tst_IdeProcess::initTestCase()
{
    const QString build = qEnvironmentVariable("QUILLMARK_BUILD_DIR");
    QVERIFY(!build.isEmpty());
    const QDir root(m_installation.path());
    QVERIFY(root.mkpath(QLatin1String("bin")));
    QVERIFY(root.mkpath(QLatin1String("lib/qtcreator/plugins")));
    m_ide = root.filePath(QLatin1String("bin/kelvara-ide"));
    QVERIFY(QFile::copy(build + QLatin1String("/bin/kelvara-ide"), m_ide));
    const QString plugins = root.filePath(QLatin1String("lib/qtcreator/plugins/"));
    QVERIFY(QFile::copy(build + QLatin1String("/lib/qtcreator/plugins/libCore.so"),
                        plugins + QLatin1String("libCore.so")));
    for (const QString &plugin : {"libAlpha.so", "libNeedy.so"})
        QVERIFY(QFile::copy(QLatin1String(TEST_PLUGIN_DIR "/") + plugin, plugins + plugin));
}

QProcessEnvironment tst_IdeProcess::environment() const
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QLatin1String("QT_QPA_PLATFORM"), QLatin1String("offscreen"));
    env.insert(QLatin1String("QUILLMARK_TEST_PLUGIN_ECHO"), QLatin1String("1"));
    env.remove(QLatin1String("KELVARA_SDK_DIR"));
    return env;
}

tst_IdeProcess::Result tst_IdeProcess::run(const QStringList &arguments,
                                           const QProcessEnvironment &environment)
{
    QTemporaryDir settings;
    QProcess ide;
    ide.setProcessEnvironment(environment);
    ide.setWorkingDirectory(m_installation.path());
    ide.start(m_ide, QStringList({"-settingspath", settings.path()}) + arguments);
    Result result;
    if (!ide.waitForFinished(-1))
        return result;
    result.exitCode = ide.exitStatus() == QProcess::NormalExit ? ide.exitCode() : -1;
    result.out = QString::fromLocal8Bit(ide.readAllStandardOutput())
                     .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    result.err = QString::fromLocal8Bit(ide.readAllStandardError());
    return result;
}

void tst_IdeProcess::versionListsPluginsAndRefusals()
{
    QProcessEnvironment env = environment();
    env.remove(QLatin1String("QUILLMARK_TEST_PLUGIN_ECHO"));
    const Result result = run({"-version"}, env);
    QCOMPARE(result.exitCode, 0);
    QCOMPARE(result.out, QStringList({"Alpha 1.2.0", "Core 4.15.2"}));
    QVERIFY2(result.err.contains(
                 QLatin1String("Plugin Needy not loaded: Could not resolve dependency "
                               "'Missing(1.0.0)'")),
             qPrintable(result.err));
}

void tst_IdeProcess::pluginsGetTheArgumentsTheAppDoesNotTake()
{
    const Result result
        = run({"--sdk", "my-sdk", "--trigger", "QtCreator.Exit", "--custom", "x", "project"},
              environment());
    // The Exit action closes the main window, which ends the IDE normally.
    QCOMPARE(result.exitCode, 0);
    QCOMPARE(result.out,
             QStringList({"Alpha: initialize --trigger QtCreator.Exit --custom x project",
                          "Alpha: extensionsInitialized",
                          "Alpha: delayedInitialize sdk=" + m_installation.path() + "/my-sdk",
                          "Alpha: aboutToShutdown",
                          "Alpha: deleted"}));
}

void tst_IdeProcess::sdkDefaultsToDemoSdkUnlessSetInEnvironment()
{
    QProcessEnvironment env = environment();
    Result result = run({"--trigger", "QtCreator.Exit"}, env);
    QCOMPARE(result.exitCode, 0);
    QVERIFY2(result.out.contains("Alpha: delayedInitialize sdk=" + m_installation.path()
                                 + "/demo-sdk"),
             qPrintable(result.out.join(QLatin1Char('\n'))));

    env.insert(QLatin1String("KELVARA_SDK_DIR"), QLatin1String("/opt/some-sdk"));
    result = run({"--trigger", "QtCreator.Exit"}, env);
    QCOMPARE(result.exitCode, 0);
    QVERIFY(result.out.contains(QLatin1String("Alpha: delayedInitialize sdk=/opt/some-sdk")));
}

void tst_IdeProcess::unknownTriggerIsReported()
{
    QTemporaryDir settings;
    QProcess ide;
    ide.setProcessEnvironment(environment());
    ide.setProcessChannelMode(QProcess::MergedChannels);
    ide.start(m_ide, {"-settingspath", settings.path(), "--trigger", "No.Such.Action"});
    QVERIFY(ide.waitForStarted());
    QByteArray err;
    while (!err.contains("No action \"No.Such.Action\" is registered.")
           && ide.state() == QProcess::Running) {
        ide.waitForReadyRead(-1);
        err += ide.readAll();
    }
    QVERIFY2(err.contains("No action \"No.Such.Action\" is registered."), err.constData());
    // It keeps running for the user.
    QCOMPARE(ide.state(), QProcess::Running);
    ide.kill();
    ide.waitForFinished(-1);
}

void tst_IdeProcess::missingOptionValueIsAnError()
{
    const Result result = run({"--sdk"}, environment());
    QCOMPARE(result.exitCode, 2);
    QVERIFY2(result.err.contains(
                 QLatin1String("The option --sdk needs a value.\n\nUsage: kelvara-ide")),
             qPrintable(result.err));
}

QTEST_GUILESS_MAIN(tst_IdeProcess)

#include "tst_ideprocess.moc"
