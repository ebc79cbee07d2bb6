#include "scriptedcontainer.h"
#include "toolexectestcase.h"

#include <runinbuildcontainer.h>

#include <kelvara/kamsettings.h>

#include <QtTest>

using namespace Quillmark::Internal;

// Records every call of the handler and answers or refuses as a test tells it.
struct RecordingHandler
{
    QList<QByteArray> outputChunks;
    QList<QByteArray> errorChunks;
    std::function<bool(const QByteArray &output, QByteArray &input)> reply;

    OutputHandler handler()
    {
        return [this](const QByteArray &output, const QByteArray &error, QByteArray &input) {
            outputChunks << output;
            errorChunks << error;
            return reply ? reply(output, input) : true;
        };
    }
};

class tst_RunInBuildContainer : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();

    void argumentsArriveUnchangedInTheFirstContainer();
    void workspaceAndEnvironment();
    void outputInChunks();
    void unrelatedEventLetsTheHandlerAnswer();
    void failedStartIsAFailure_data();
    void failedStartIsAFailure();

private:
    ScriptedContainer &first() { return m_case->container(0); }
    ScriptedContainer &second() { return m_case->container(1); }

    std::unique_ptr<ToolExecTestCase> m_case;
};

void tst_RunInBuildContainer::initTestCase()
{
    m_case = std::make_unique<ToolExecTestCase>(2);
}

void tst_RunInBuildContainer::cleanupTestCase()
{
    m_case.reset();
}

void tst_RunInBuildContainer::init()
{
    m_case->reset();
}

void tst_RunInBuildContainer::argumentsArriveUnchangedInTheFirstContainer()
{
    const QStringList command{"ignored program",
                              "pkgseal",
                              "sign",
                              "-k",
                              "",
                              "-c",
                              "my cert.pem",
                              QString::fromUtf8("Пакет ä.rpm"),
                              "$HOME",
                              "*.rpm",
                              "a;b|c"};
    RecordingHandler recorder;
    QVERIFY(succeeded(runInBuildContainer(recorder.handler(), {}, command)));

    QCOMPARE(first().runCount(), 1);
    QCOMPARE(second().runCount(), 0);
    QCOMPARE(first().arguments(1), command.mid(1));
    QCOMPARE(m_case->messages(), QStringList("[$] 0\t" + command.join(' ')));

    m_case->setRunCommands({second().runCommand(), first().runCommand()});
    runInBuildContainer(recorder.handler(), {}, command);
    QCOMPARE(second().runCount(), 1);
    QCOMPARE(first().runCount(), 1);
}

void tst_RunInBuildContainer::workspaceAndEnvironment()
{
    const QString workspace = Kam::Internal::KamSettings::workspaceLocation();
    QProcessEnvironment environment;
    environment.insert("WORKSPACE_DIR", "/somewhere/else");
    environment.insert("LANG", "C.UTF-8");
    RecordingHandler recorder;
    runInBuildContainer(recorder.handler(), environment, {"", "pkgseal"});
    runInBuildContainer(recorder.handler(), {}, {"", "pkgseal"});

    QCOMPARE(QFileInfo(first().record(1).value("workingDirectory").toString()).canonicalFilePath(),
             QFileInfo(workspace).canonicalFilePath());
    QCOMPARE(first().environmentValue(1, "WORKSPACE_DIR"), workspace);
    QCOMPARE(first().environmentValue(1, "LANG"), QString("C.UTF-8"));
    QCOMPARE(first().environmentKeys(1).size(), 2);
    QCOMPARE(first().environmentKeys(2), QStringList("WORKSPACE_DIR"));

    // Every run asks for the workspace anew.
    const QString otherWorkspace = m_case->scratchFolder() + "/other workspace";
    QVERIFY(QDir().mkpath(otherWorkspace));
    Kam::Internal::KamSettings::setWorkspaceLocation(otherWorkspace);
    runInBuildContainer(recorder.handler(), {}, {"", "pkgseal"});
    Kam::Internal::KamSettings::setWorkspaceLocation({});
    QCOMPARE(first().environmentValue(3, "WORKSPACE_DIR"), otherWorkspace);
    QCOMPARE(QFileInfo(first().record(3).value("workingDirectory").toString()).canonicalFilePath(),
             QFileInfo(otherWorkspace).canonicalFilePath());
}

void tst_RunInBuildContainer::outputInChunks()
{
    first().setScript({"out first line\\n",
                       "pause 100",
                       "err warning\\r\\n",
                       "pause 100",
                       "out second \\xff\\x00 part",
                       "pause 100",
                       "err more\\n",
                       "out last words\\n",
                       "exit 3"});
    RecordingHandler recorder;
    const RunResult result = runInBuildContainer(recorder.handler(), {}, {"", "pkgseal", "dump"});

    QCOMPARE(result.output, QByteArray("first line\nsecond \xff\x00 part", 25) + "last words\n");
    QCOMPARE(result.errorOutput, QByteArray("warning\r\nmore\n"));
    QCOMPARE(recorder.outputChunks.join(), result.output);
    QCOMPARE(recorder.errorChunks.join(), result.errorOutput);
    QVERIFY(!result.crashed);
    QCOMPARE(result.exitCode, 3);
    QVERIFY(!succeeded(result));
    QCOMPARE(m_case->messages(), QStringList("[$] 3\t pkgseal dump"));
}

// The handler is called, with nothing new, on any event: it can answer what it was busy with, and
// all of its answer reaches the tool.
void tst_RunInBuildContainer::unrelatedEventLetsTheHandlerAnswer()
{
    first().setScript({"out Two questions?\\n", "read", "read", "out thanks\\n"});
    bool woken = false;
    int answers = 0;
    RecordingHandler recorder;
    recorder.reply = [&](const QByteArray &output, QByteArray &input) {
        if (output.contains("questions")) {
            QMetaObject::invokeMethod(
                this, [&woken] { woken = true; }, Qt::QueuedConnection);
        } else if (woken && !answers && output.isEmpty() && recorder.errorChunks.last().isEmpty()) {
            ++answers;
            input = "first answer\nsecond answer\n";
        }
        return true;
    };
    const RunResult result = runInBuildContainer(recorder.handler(), {}, {"", "openssl"});

    QCOMPARE(answers, 1);
    QCOMPARE(first().input(1), QStringList({"first answer", "second answer"}));
    QCOMPARE(result.output, QByteArray("Two questions?\nthanks\n"));
    QVERIFY(succeeded(result));
}

void tst_RunInBuildContainer::failedStartIsAFailure_data()
{
    QTest::addColumn<QString>("runCommand");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QByteArray>("reason");
    QTest::addColumn<QStringList>("messages");

    const QStringList echoed("[$] -1\t pkgseal dump");
    QTest::newRow("missing program")
        << "/nonexistent/run-command" << -1 << QByteArray("/nonexistent/run-command") << echoed;
    QTest::newRow("not executable") << "plain file" << -1 << QByteArray("not-executable") << echoed;
    QTest::newRow("missing workspace")
        << QString() << -1 << QByteArray("run-container-1") << echoed;
    // No command was run, so none is echoed.
    QTest::newRow("no build container")
        << "none" << 1 << QByteArray("Build containers not found!") << QStringList();
}

// The reason why nothing ran reaches the handler as error output.
void tst_RunInBuildContainer::failedStartIsAFailure()
{
    QFETCH(QString, runCommand);
    QFETCH(int, exitCode);
    QFETCH(QByteArray, reason);
    QFETCH(QStringList, messages);

    if (runCommand == "plain file") {
        runCommand = m_case->scratchFolder() + "/not-executable";
        QFile file(runCommand);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("#!/bin/sh\n");
    } else if (runCommand.isEmpty()) {
        runCommand = first().runCommand();
        Kam::Internal::KamSettings::setWorkspaceLocation(m_case->scratchFolder() + "/missing");
    }
    m_case->setRunCommands(runCommand == "none" ? QStringList() : QStringList(runCommand));

    RecordingHandler recorder;
    const RunResult result = runInBuildContainer(recorder.handler(), {}, {"", "pkgseal", "dump"});
    Kam::Internal::KamSettings::setWorkspaceLocation({});

    QVERIFY(!succeeded(result));
    QCOMPARE(result.exitCode, exitCode);
    QVERIFY2(result.errorOutput.contains(reason), result.errorOutput.constData());
    QVERIFY(result.output.isEmpty());
    QCOMPARE(first().runCount(), 0);
    QCOMPARE(recorder.errorChunks, QList<QByteArray>{result.errorOutput + '\n'});
    QCOMPARE(m_case->messages(), messages);
}

QTEST_MAIN(tst_RunInBuildContainer)

#include "tst_runinbuildcontainer.moc"
