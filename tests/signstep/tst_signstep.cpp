#include "pkgsealstep.h"
#include "pkgsealwidget.h"

#include <scriptedcontainer.h>
#include <testide.h>
#include <testrecipe.h>
#include <testsdk.h>

#include <kelvara/kambuildstep.h>
#include <projectexplorer/buildconfiguration.h>
#include <projectexplorer/buildmanager.h>
#include <projectexplorer/buildsteplist.h>
#include <projectexplorer/deployconfiguration.h>
#include <projectexplorer/project.h>
#include <projectexplorer/projectexplorer.h>
#include <projectexplorer/target.h>
#include <utils/fancylineedit.h>
#include <utils/pathchooser.h>

#include <QComboBox>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

using namespace ProjectExplorer;
using namespace Quillmark::Internal;
using Kam::Internal::KamBuildStep;
using OutputFormat = BuildStep::OutputFormat;

namespace {

const char DEFAULT_KEY[] = "/etc/keys/public/developer-key-release.pem";
const char DEFAULT_CERTIFICATE[] = "/etc/keys/public/developer-regular-release-cert.pem";

QString developerNote(const QString &package)
{
    return QString("Note: Packages %1 signed with developer key, use is possible only for "
                   "development purposes. Read more: "
                   "https://quillmark.kelvara.dev/docs/package-signing")
        .arg(package);
}

QString notSignedNote(const QString &package)
{
    return QString("Note: Packages %1 is not signed. Deployment to the device is not possible. "
                   "Read more: https://quillmark.kelvara.dev/docs/package-signing")
        .arg(package);
}

// The lines a step adds to the build output during one run, and its end reports.
struct StepRun
{
    QList<QPair<QString, OutputFormat>> lines;
    QList<QPair<int, QString>> progress;
    QList<bool> finished;

    QStringList texts() const
    {
        QStringList result;
        for (const auto &line : lines)
            result.append(line.first);
        return result;
    }
    QStringList notes() const { return texts().filter(QRegularExpression("^Note: ")); }
    bool has(const QString &text, OutputFormat format) const
    {
        return lines.contains(qMakePair(text, format));
    }
};

} // namespace

class tst_SignStep : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void cleanup();

    void widgetSwitchesModesAndKeepsPaths();
    void savedStepLoadsAsSaved_data();
    void savedStepLoadsAsSaved();
    void globalKeys();

    void allPackagesInOneCall();
    void notes_data();
    void notes();
    void onlyTheLastEnabledStepChecksSignatures();
    void cancel_data();
    void cancel();
    void deletedWhileSigning();
    void failsWithItsReason_data();
    void failsWithItsReason();

private:
    Project *openProject(const QString &name, const QByteArray &recipeText);
    static BuildConfiguration *debugConfiguration(Project *project);
    static QStringList packagesOf(BuildConfiguration *configuration);
    static std::unique_ptr<PkgsealStep> makeStep(BuildConfiguration *configuration);
    void playPkgseal(const QString &sub,
                     const QByteArray &output,
                     const QByteArray &error = {},
                     int exitCode = 0);
    bool wentOnAfterHold() const;
    StepRun runStep(PkgsealStep *step,
                    const std::function<void(PkgsealStep *, StepRun &)> &onLine = {});

    QTemporaryDir m_scriptDir;
    QTimer m_releaseTimer;
    ScriptedContainer m_container{m_scriptDir.path(), "run-scripted"};
    std::unique_ptr<TestSdk> m_sdk;
    std::unique_ptr<TestIde> m_ide;
    Project *m_single = nullptr;
    Project *m_multi = nullptr;
};

void tst_SignStep::initTestCase()
{
    m_releaseTimer.setSingleShot(true);
    connect(&m_releaseTimer, &QTimer::timeout, this, [this] { m_container.release("release"); });
    m_sdk = std::make_unique<TestSdk>(QStringList(m_container.runCommand()));
    m_sdk->save();
    m_ide = std::make_unique<TestIde>(m_sdk->path());

    m_single = openProject("single", testRecipe("single"));
    m_multi = openProject("multi", testRecipe("multi", 1));
    QVERIFY(m_single && m_multi);

    // Real builds of the Debug configurations give the platform build steps their packages.
    m_container.setScript("rpmbuild", {"exec"});
    for (Project *project : {m_single, m_multi}) {
        QSignalSpy buildEnd(BuildManager::instance(), &BuildManager::buildQueueFinished);
        QVERIFY(BuildManager::buildList(debugConfiguration(project)->buildSteps()));
        QVERIFY(buildEnd.wait(60000));
        QCOMPARE(buildEnd.first().first().toBool(), true);
    }
}

void tst_SignStep::cleanupTestCase()
{
    m_ide.reset();
    m_sdk.reset();
}

void tst_SignStep::cleanup()
{
    m_releaseTimer.stop();
    m_container.reset();
    QSettings().remove("Quillmark.GlobalSignKey");
    QSettings().remove("Quillmark.GlobalSignCert");
}

Project *tst_SignStep::openProject(const QString &name, const QByteArray &recipeText)
{
    const QString folder = m_sdk->workspacePath() + '/' + name;
    QFile file(folder + '/' + name + ".spec");
    if (!QDir().mkpath(folder) || !file.open(QIODevice::WriteOnly) || file.write(recipeText) < 0)
        return nullptr;
    file.close();
    Project *project = ProjectExplorerPlugin::openProject(folder).project();
    if (!project || project->targets().isEmpty())
        return nullptr;
    // The plug-in's listener puts the step in after the parse.
    BuildStepList *steps = debugConfiguration(project)->buildSteps();
    if (!QTest::qWaitFor([steps] { return steps->contains(PkgsealStep::stepId()); }, 20000))
        return nullptr;
    return project;
}

BuildConfiguration *tst_SignStep::debugConfiguration(Project *project)
{
    return project->targets().first()->buildConfigurations().first();
}

QStringList tst_SignStep::packagesOf(BuildConfiguration *configuration)
{
    auto buildStep = configuration->buildSteps()->firstOfType<KamBuildStep>();
    return buildStep ? buildStep->deployablePackagesFileNames() : QStringList();
}

std::unique_ptr<PkgsealStep> tst_SignStep::makeStep(BuildConfiguration *configuration)
{
    return std::make_unique<PkgsealStep>(configuration->buildSteps(), PkgsealStep::stepId());
}

void tst_SignStep::playPkgseal(const QString &sub,
                               const QByteArray &output,
                               const QByteArray &error,
                               int exitCode)
{
    m_container.setScript("pkgseal " + sub,
                          {ScriptedContainer::out(output),
                           ScriptedContainer::err(error),
                           QString("exit %1").arg(exitCode)});
}

bool tst_SignStep::wentOnAfterHold() const
{
    for (int run = 1; run <= m_container.runCount(); ++run) {
        if (!m_container.list(run, "released").isEmpty())
            return true;
    }
    return false;
}

StepRun tst_SignStep::runStep(PkgsealStep *step,
                              const std::function<void(PkgsealStep *, StepRun &)> &onLine)
{
    StepRun run;
    QObject context;
    connect(step, &BuildStep::addOutput, &context, [&](const QString &text, OutputFormat format) {
        run.lines.append({text, format});
        if (onLine)
            onLine(step, run);
    });
    connect(step, &BuildStep::progress, &context, [&run](int percent, const QString &message) {
        run.progress.append({percent, message});
    });
    connect(step, &BuildStep::finished, &context, [&run](bool success) {
        run.finished.append(success);
    });
    if (step->init())
        step->run();
    return run;
}

// "Custom keys" shows the step's own paths, which name files in the build engine: any path is
// valid there. Back to the global keys and again to "Custom keys", the paths are still there.
void tst_SignStep::widgetSwitchesModesAndKeepsPaths()
{
    const auto step = makeStep(debugConfiguration(m_single));
    step->setKey("/own/key.pem");
    step->setCertificate("/own/cert.pem");
    std::unique_ptr<QWidget> widget(step->doCreateConfigWidget());
    widget->show();
    auto combo = widget->findChild<QComboBox *>("keysTypeComboBox");
    auto keyChooser = widget->findChild<Utils::PathChooser *>("keyPathChooser");
    QCOMPARE(combo->currentIndex(), 1);
    QVERIFY(keyChooser->isVisible() && keyChooser->isValid());
    QCOMPARE(keyChooser->rawPath(), QString("/own/key.pem"));

    combo->setCurrentIndex(0);
    QVERIFY(!keyChooser->isVisible());
    QCOMPARE(step->key(), QString(DEFAULT_KEY));
    combo->setCurrentIndex(1);
    keyChooser->lineEdit()->clear();
    QTest::keyClicks(keyChooser->lineEdit(), "/typed.pem");
    QCOMPARE(step->key(), QString("/typed.pem"));
    QCOMPARE(step->certificate(), QString("/own/cert.pem"));

    // The settings closed and opened again in default mode: "Custom keys" shows the paths.
    combo->setCurrentIndex(0);
    widget.reset(step->doCreateConfigWidget());
    combo = widget->findChild<QComboBox *>("keysTypeComboBox");
    QCOMPARE(combo->currentIndex(), 0);
    combo->setCurrentIndex(1);
    QCOMPARE(widget->findChild<Utils::PathChooser *>("keyPathChooser")->rawPath(),
             QString("/typed.pem"));
    QCOMPARE(step->key(), QString("/typed.pem"));
}

void tst_SignStep::savedStepLoadsAsSaved_data()
{
    QTest::addColumn<QVariantMap>("saved");
    QTest::addColumn<QString>("key");
    const QVariantMap paths{{"Quillmark.Key", "/own/key.pem"}, {"Quillmark.Cert", "/own/cert.pem"}};
    const auto with = [](QVariantMap map, bool useDefault) {
        map.insert("Quillmark.UseDefaultValues", useDefault);
        return map;
    };
    QTest::newRow("without the flag, with paths") << paths << DEFAULT_KEY;
    QTest::newRow("global keys, stale paths") << with(paths, true) << DEFAULT_KEY;
    QTest::newRow("own keys") << with(paths, false) << "/own/key.pem";
}

// A saved step loads with the keys it was saved with and saves them again, nothing more.
void tst_SignStep::savedStepLoadsAsSaved()
{
    QFETCH(QVariantMap, saved);
    QFETCH(QString, key);
    BuildConfiguration *configuration = debugConfiguration(m_multi);
    QVariantMap map = makeStep(configuration)->toMap();
    map.remove("Quillmark.UseDefaultValues");
    map.insert(saved);

    const auto step = makeStep(configuration);
    QVERIFY(step->fromMap(map));

    QCOMPARE(step->key(), key);
    const bool own = key != DEFAULT_KEY;
    QCOMPARE(step->certificate(),
             own ? saved.value("Quillmark.Cert").toString() : QString(DEFAULT_CERTIFICATE));
    const QVariantMap savedAgain = step->toMap();
    QCOMPARE(savedAgain.value("Quillmark.UseDefaultValues"), QVariant(!own));
    QCOMPARE(savedAgain.value("Quillmark.Key"), own ? QVariant(key) : QVariant());
}

// The global keys stand in for the engine's defaults, an empty one does not; own keys win.
void tst_SignStep::globalKeys()
{
    const auto step = makeStep(debugConfiguration(m_single));
    QSettings().setValue("Quillmark.GlobalSignKey", QString());
    QSettings().setValue("Quillmark.GlobalSignCert", "/global/cert.pem");
    QCOMPARE(step->key(), QString(DEFAULT_KEY));
    QCOMPARE(step->certificate(), QString("/global/cert.pem"));
    QSettings().setValue("Quillmark.GlobalSignKey", "/global/key.pem");
    QCOMPARE(step->key(), QString("/global/key.pem"));
    step->setKey("/own/key.pem");
    QCOMPARE(step->key(), QString("/own/key.pem"));
}

// All packages go to one sign call with the engine's default keys, then to one dump.
void tst_SignStep::allPackagesInOneCall()
{
    const auto step = makeStep(debugConfiguration(m_multi));
    const QStringList packages = packagesOf(debugConfiguration(m_multi));
    QCOMPARE(packages.size(), 2);
    playPkgseal("sign",
                (packages.at(1) + ": signed by CN = Dev\nnot a package: signed by x\n"
                 + packages.at(0) + ": already signed with the certificate of CN = Dev\n")
                    .toUtf8(),
                "a warning\n");
    const StepRun run = runStep(step.get());
    QCOMPARE(m_container.commandLines(),
             QStringList({QString("pkgseal sign -k %1 -c %2 %3")
                              .arg(DEFAULT_KEY, DEFAULT_CERTIFICATE, packages.join(' ')),
                          "pkgseal dump " + packages.join(' ')}));
    QVERIFY(run.has("not a package: signed by x", OutputFormat::Stdout));
    QVERIFY(run.has("a warning", OutputFormat::Stderr));
    const auto name = [&packages](int i) { return QFileInfo(packages.at(i)).fileName(); };
    QCOMPARE(run.progress,
             (QList<QPair<int, QString>>{{50, QString("Signed %1 (1 of 2)").arg(name(1))},
                                         {100, QString("Signed %1 (2 of 2)").arg(name(0))}}));
    QCOMPARE(run.finished, QList<bool>{true});
}

void tst_SignStep::notes_data()
{
    QTest::addColumn<bool>("single");
    QTest::addColumn<QByteArray>("dump");
    QTest::addColumn<QStringList>("notes");

    const QByteArray developer = "Subject: /O=Demo/OU=developer/CN=Dev\nGroup: developer\n";
    const QByteArray client = "Subject: /O=Demo/OU=client/CN=Client\nGroup: client\n";
    const QByteArray a = "/ws/multi/build/RPMS/noarch/multi-1.0-1.noarch.rpm:\n";
    const QByteArray b = "/ws/multi/build/RPMS/noarch/multi-p1-1.0-1.noarch.rpm:\n";
    const QString aName = "multi-1.0-1.noarch.rpm";
    const QString bName = "multi-p1-1.0-1.noarch.rpm";

    QTest::newRow("developer and client")
        << false << a + developer + client + b + developer + client << QStringList();
    QTest::newRow("no or other group, last line without line end")
        << false << a + "no signatures\n" + b + "Subgroup: client\nGroup: tester\nGroup: client"
        << QStringList{notSignedNote(aName), notSignedNote(bName)};
    QTest::newRow("folders named .rpm, subject naming a group")
        << false
        << "/ws/a.rpm/RPMS/one.rpm:\nSubject: CN = Group: client\n" + developer
               + "/ws/b.rpm-build/two.rpm:\n" + client
        << QStringList{developerNote("one.rpm")};
    QTest::newRow("CRLF line ends") << false << a + "Group: client\r\n" + b + "Group: developer\r\n"
                                    << QStringList{developerNote(bName)};
    // With one package the whole dump is read, whatever paths it names; the note names the
    // package as the build gave it.
    QTest::newRow("one package") << true << "/elsewhere/other.rpm:\n" + developer
                                 << QStringList(developerNote("%1"));
    QTest::newRow("one package, empty dump")
        << true << QByteArray() << QStringList(notSignedNote("%1"));
}

void tst_SignStep::notes()
{
    QFETCH(bool, single);
    QFETCH(QByteArray, dump);
    QFETCH(QStringList, notes);
    BuildConfiguration *configuration = debugConfiguration(single ? m_single : m_multi);
    const auto step = makeStep(configuration);
    playPkgseal("dump", dump);
    const StepRun run = runStep(step.get());

    QCOMPARE(run.notes(), notes.replaceInStrings("%1", packagesOf(configuration).value(0)));
    for (const QString &note : notes)
        QVERIFY(run.has(note, OutputFormat::Stderr));
    QCOMPARE(run.finished, QList<bool>{true});
}

// Only the last enabled sign step of the deploy list checks the signatures; a step of the build
// list leaves the check to it.
void tst_SignStep::onlyTheLastEnabledStepChecksSignatures()
{
    BuildConfiguration *configuration = debugConfiguration(m_multi);
    BuildStepList *deploySteps = configuration->target()->activeDeployConfiguration()->stepList();
    auto first = new PkgsealStep(deploySteps, PkgsealStep::stepId());
    auto last = new PkgsealStep(deploySteps, PkgsealStep::stepId());
    deploySteps->appendStep(first);
    deploySteps->appendStep(last);
    const auto buildListStep = makeStep(configuration);
    const auto checks = [this](PkgsealStep *step) {
        m_container.reset();
        playPkgseal("dump", "/a/x.rpm:\nGroup: developer\n");
        const bool noted = runStep(step).notes() == QStringList(developerNote("x.rpm"));
        const int runs = m_container.runCount();
        return noted && runs == 2 ? "checks" : !noted && runs == 1 ? "leaves it" : "inconsistent";
    };

    QCOMPARE(checks(first), "leaves it");
    QCOMPARE(checks(last), "checks");
    QCOMPARE(checks(buildListStep.get()), "leaves it");
    last->setEnabled(false);
    QCOMPARE(checks(first), "checks");
    first->setEnabled(false);
    QCOMPARE(checks(buildListStep.get()), "checks");

    while (deploySteps->count() > 0)
        QVERIFY(deploySteps->removeStep(0));
}

void tst_SignStep::cancel_data()
{
    QTest::addColumn<QString>("heldCall");
    QTest::addColumn<QStringList>("report");
    // What the packages are: all signed once signing was done, otherwise as a dump tells.
    QTest::newRow("while signing") << "sign"
                                   << QStringList({"/a/x.rpm:",
                                                   "Group: developer",
                                                   "/a/y.rpm:",
                                                   "Signed before the stop: x.rpm",
                                                   "Not signed, left as they were: y.rpm"});
    QTest::newRow("while dumping") << "dump" << QStringList("All packages are signed.");
}

// The step is cancelled when the tool it runs says it waits. A tool that is not stopped is let go
// on after 30 s, so that a test that fails doesn't hang.
void tst_SignStep::cancel()
{
    QFETCH(QString, heldCall);
    QFETCH(QStringList, report);
    const auto step = makeStep(debugConfiguration(m_multi));
    playPkgseal("dump", "/a/x.rpm:\nGroup: developer\n/a/y.rpm:\n");
    m_container.setScript("pkgseal " + heldCall,
                          {"out waiting for release\\n", "await release", "out released\\n"});
    const StepRun run = runStep(step.get(), [this](PkgsealStep *step, StepRun &run) {
        if (run.lines.last().first == "waiting for release") {
            m_releaseTimer.start(30000);
            step->cancel();
        }
    });

    // The tool was stopped, and the step reported its end once.
    QCOMPARE(run.finished, QList<bool>{false});
    QVERIFY(!wentOnAfterHold());
    QCOMPARE(m_container.commandLines().filter("pkgseal sign").size(), 1);
    QCOMPARE(run.notes(), QStringList());
    const QStringList told = run.texts().mid(run.texts().indexOf("Package sign stopped by user"));
    QCOMPARE(told.mid(1), report);

    // The step runs normally afterwards; a cancel outside a run reports nothing.
    m_container.reset();
    QCOMPARE(runStep(step.get()).finished, QList<bool>{true});
    QSignalSpy finished(step.get(), &BuildStep::finished);
    step->cancel();
    QCOMPARE(finished.count(), 0);
}

// A step that goes while it signs (its project closed) stops its tool.
void tst_SignStep::deletedWhileSigning()
{
    auto step = new PkgsealStep(debugConfiguration(m_multi)->buildSteps(), PkgsealStep::stepId());
    const QPointer<PkgsealStep> guard(step);
    m_container.setScript("pkgseal sign", {"out waiting\\n", "await release"});
    runStep(step, [this](PkgsealStep *step, StepRun &run) {
        if (run.lines.last().first == "waiting") {
            m_releaseTimer.start(30000);
            QTimer::singleShot(0, step, [step] { delete step; });
        }
    });

    QVERIFY(!guard);
    QVERIFY(!wentOnAfterHold());
    QCOMPARE(m_container.runCount(), 1);
}

void tst_SignStep::failsWithItsReason_data()
{
    QTest::addColumn<QString>("failure");
    QTest::addColumn<bool>("success");
    QTest::addColumn<QString>("lastLine");
    QTest::addColumn<int>("runs");
    // Nothing runs without packages; the Release configurations are never built.
    QTest::newRow("no platform build step")
        << "no build step" << false << "Error: No previous \"Kelvara Build\" step found" << 0;
    QTest::newRow("never built") << "never built" << false << "Error: no package for sign found"
                                 << 0;
    // A failed signing fails the step; a failed dump of the signed packages only says so.
    QTest::newRow("signing failed") << "sign" << false << "pkgseal: cannot read key" << 1;
    QTest::newRow("dump failed") << "dump" << true << "Failed to verify signature dump" << 2;
}

void tst_SignStep::failsWithItsReason()
{
    QFETCH(QString, failure);
    QFETCH(bool, success);
    QFETCH(QString, lastLine);
    QFETCH(int, runs);
    const bool built = runs > 0;
    const QList<BuildConfiguration *> configurations
        = (failure == "never built" ? m_single : m_multi)->targets().first()->buildConfigurations();
    BuildConfiguration *configuration = built ? configurations.first() : configurations.last();
    const auto step = makeStep(configuration);
    BuildStepList *steps = configuration->buildSteps();
    if (failure == "no build step")
        QVERIFY(steps->removeStep(steps->steps().indexOf(steps->firstOfType<KamBuildStep>())));
    if (built)
        playPkgseal(failure, "/a/x.rpm:\nGroup: developer\n", "pkgseal: cannot read key\n", 3);
    const StepRun run = runStep(step.get());

    QCOMPARE(run.finished, QList<bool>{success});
    QCOMPARE(m_container.runCount(), runs);
    QCOMPARE(run.lines.last(),
             qMakePair(lastLine, built ? OutputFormat::Stderr : OutputFormat::ErrorMessage));
    QCOMPARE(run.has("Package sign completed successfully.", OutputFormat::NormalMessage), success);
    QCOMPARE(run.notes(), QStringList());
}

QTEST_MAIN(tst_SignStep)

#include "tst_signstep.moc"
