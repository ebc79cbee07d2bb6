#include "pkgsealstep.h"
#include "pkgsealwidget.h"

#include <testide.h>
#include <testsdk.h>

#include <coreplugin/messagemanager.h>
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
#include <QFormLayout>
#include <QLabel>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>
#include <memory>

using namespace ProjectExplorer;
using namespace Quillmark::Internal;
using Kam::Internal::KamBuildStep;
using OutputFormat = BuildStep::OutputFormat;

namespace {

const char DOCUMENTATION_URL[] = "https://quillmark.kelvara.dev/docs/package-signing";
const char DEFAULT_KEY[] = "/etc/keys/public/developer-key-release.pem";
const char DEFAULT_CERTIFICATE[] = "/etc/keys/public/developer-regular-release-cert.pem";

QString developerNote(const QString &package)
{
    return QString("Note: Packages %1 signed with developer key, use is possible only for "
                   "development purposes. Read more: %2")
        .arg(package, DOCUMENTATION_URL);
}

QString notSignedNote(const QString &package)
{
    return QString("Note: Packages %1 is not signed. Deployment to the device is not possible. "
                   "Read more: %2")
        .arg(package, DOCUMENTATION_URL);
}

void writeFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    QVERIFY2(file.open(QIODevice::WriteOnly | QIODevice::Truncate), qPrintable(path));
    file.write(content);
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
    bool has(const QString &text, OutputFormat format) const
    {
        return lines.contains(qMakePair(text, format));
    }
};

// The files beside the scripted run command that steer its "pkgseal".
class ScriptedPkgseal
{
public:
    explicit ScriptedPkgseal(const QString &folder)
        : m_folder(folder)
    {}

    QString runCommand() const { return m_folder + "/run-scripted"; }
    void reset()
    {
        for (const QString &name : QDir(m_folder).entryList(QDir::Files)) {
            if (name != "run-scripted")
                QFile::remove(m_folder + '/' + name);
        }
    }
    void setOutput(const QString &sub, const QByteArray &text) { write(sub + ".out", text); }
    void setError(const QString &sub, const QByteArray &text) { write(sub + ".err", text); }
    void setExitCode(const QString &sub, int code)
    {
        write(sub + ".exit", QByteArray::number(code));
    }
    void hold(const QString &sub) { write(sub + ".hold", {}); }
    void release() { write("release", {}); }
    bool wentOnAfterHold(const QString &sub) const
    {
        return QFile::exists(m_folder + '/' + sub + ".released");
    }
    QStringList calls() const
    {
        QFile log(m_folder + "/calls.log");
        if (!log.open(QIODevice::ReadOnly))
            return {};
        return QString::fromUtf8(log.readAll()).split('\n', Qt::SkipEmptyParts);
    }

private:
    void write(const QString &name, const QByteArray &content)
    {
        writeFile(m_folder + '/' + name, content);
    }

    QString m_folder;
};

} // namespace

class tst_SignStep : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void cleanup();

    void widgetModesAndPaths();

    void savedStepLoadsAsSaved_data();
    void savedStepLoadsAsSaved();
    void globalKeys();
    void configWidgetKeepsPaths();

    void listenerInsertedStepSignsAfterBuild();
    void notes_data();
    void notes();
    void singlePackageNoteNamesPackageAsGiven();
    void failedToolRun_data();
    void failedToolRun();
    void signStepsInDeployList();
    void cancel_data();
    void cancel();
    void deletedWhileSigning();
    void failsWithItsReason_data();
    void failsWithItsReason();

private:
    Project *openProject(const QString &name, const QByteArray &specText);
    BuildConfiguration *debugConfiguration(Project *project) const;
    QStringList packagesOf(BuildConfiguration *configuration) const;
    std::unique_ptr<PkgsealStep> makeStep(BuildConfiguration *configuration) const;
    StepRun runStep(PkgsealStep *step,
                    const std::function<void(PkgsealStep *, StepRun &)> &onLine = {});
    std::function<void(PkgsealStep *, StepRun &)> cancelWhenHeld(bool deleteStep);

    std::unique_ptr<QTemporaryDir> m_scriptDir;
    QTimer m_releaseTimer;
    std::unique_ptr<ScriptedPkgseal> m_pkgseal;
    std::unique_ptr<TestSdk> m_sdk;
    std::unique_ptr<TestIde> m_ide;
    Project *m_single = nullptr;
    Project *m_multi = nullptr;
};

void tst_SignStep::initTestCase()
{
    m_scriptDir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_scriptDir->isValid());
    m_pkgseal = std::make_unique<ScriptedPkgseal>(m_scriptDir->path());
    m_releaseTimer.setSingleShot(true);
    connect(&m_releaseTimer, &QTimer::timeout, this, [this] { m_pkgseal->release(); });
    const QString source = qEnvironmentVariable("QUILLMARK_SOURCE_DIR")
                           + "/tests/signstep/scriptedpkgseal.sh";
    QVERIFY(QFile::copy(source, m_pkgseal->runCommand()));
    QFile::setPermissions(m_pkgseal->runCommand(),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

    m_sdk = std::make_unique<TestSdk>();
    m_sdk->setRunCommands({m_pkgseal->runCommand()});
    m_sdk->save();
    m_ide = std::make_unique<TestIde>(m_sdk->path());

    m_single = openProject("single",
                           "Name: single\nVersion: 1.0\nRelease: 1\nSummary: One package\n"
                           "License: MIT\nBuildArch: noarch\n%description\nOne package.\n"
                           "%install\nmkdir -p %{buildroot}/usr/share/single\n"
                           "echo single > %{buildroot}/usr/share/single/readme\n"
                           "%files\n/usr/share/single/readme\n");
    m_multi = openProject("multi",
                          "Name: multi\nVersion: 1.0\nRelease: 1\nSummary: Two packages\n"
                          "License: MIT\nBuildArch: noarch\n%description\nMain package.\n"
                          "%package extra\nSummary: Extra package\n%description extra\nExtra.\n"
                          "%install\nmkdir -p %{buildroot}/usr/share/multi\n"
                          "echo main > %{buildroot}/usr/share/multi/main.txt\n"
                          "echo extra > %{buildroot}/usr/share/multi/extra.txt\n"
                          "%files\n/usr/share/multi/main.txt\n"
                          "%files extra\n/usr/share/multi/extra.txt\n");
    QVERIFY(m_single && m_multi);

    // Real builds of the Debug configurations give the platform build steps their packages.
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
    m_pkgseal->reset();
    QSettings().remove("Quillmark.GlobalSignKey");
    QSettings().remove("Quillmark.GlobalSignCert");
}

Project *tst_SignStep::openProject(const QString &name, const QByteArray &specText)
{
    const QString folder = m_sdk->workspacePath() + '/' + name;
    if (!QDir().mkpath(folder))
        return nullptr;
    QFile file(folder + '/' + name + ".spec");
    if (!file.open(QIODevice::WriteOnly))
        return nullptr;
    file.write(specText);
    file.close();

    const auto result = ProjectExplorerPlugin::openProject(folder);
    Project *project = result.project();
    if (!project || project->targets().isEmpty())
        return nullptr;
    // The plug-in's listener puts the step in after the parse.
    BuildStepList *steps = project->targets().first()->buildConfigurations().first()->buildSteps();
    if (!QTest::qWaitFor([steps] { return steps->contains(PkgsealStep::stepId()); }, 20000))
        return nullptr;
    return project;
}

BuildConfiguration *tst_SignStep::debugConfiguration(Project *project) const
{
    return project->targets().first()->buildConfigurations().first();
}

QStringList tst_SignStep::packagesOf(BuildConfiguration *configuration) const
{
    auto buildStep = configuration->buildSteps()->firstOfType<KamBuildStep>();
    return buildStep ? buildStep->deployablePackagesFileNames() : QStringList();
}

std::unique_ptr<PkgsealStep> tst_SignStep::makeStep(BuildConfiguration *configuration) const
{
    return std::make_unique<PkgsealStep>(configuration->buildSteps(), PkgsealStep::stepId());
}

// Cancels the step when the held tool says it waits. A tool that is not stopped is let go on
// after 30 s, so that a test that fails doesn't hang.
std::function<void(PkgsealStep *, StepRun &)> tst_SignStep::cancelWhenHeld(bool deleteStep)
{
    return [this, deleteStep](PkgsealStep *step, StepRun &run) {
        if (run.lines.last().first != "waiting for release")
            return;
        m_releaseTimer.start(30000);
        if (deleteStep)
            QTimer::singleShot(0, step, [step] { delete step; });
        else
            step->cancel();
    };
}

StepRun tst_SignStep::runStep(PkgsealStep *step,
                              const std::function<void(PkgsealStep *, StepRun &)> &onLine)
{
    StepRun run;
    QObject context;
    connect(step,
            &BuildStep::addOutput,
            &context,
            [&run, step, onLine](const QString &text, OutputFormat format) {
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

// "Custom keys" shows the paths, which name files in the build engine: any path is valid there.
void tst_SignStep::widgetModesAndPaths()
{
    PkgsealWidget widget;
    widget.show();
    auto combo = widget.findChild<QComboBox *>("keysTypeComboBox");
    auto status = widget.findChild<QLabel *>("keysTypeLabel");
    auto keyChooser = widget.findChild<Utils::PathChooser *>("keyPathChooser");
    const QList<QWidget *> customWidgets = {keyChooser,
                                            widget.findChild<QWidget *>("certificatePathChooser"),
                                            widget.findChild<QWidget *>("keyLabel"),
                                            widget.findChild<QWidget *>("certificateLabel")};
    const auto customShown = [&] {
        return std::count_if(customWidgets.cbegin(), customWidgets.cend(), [](QWidget *w) {
            return w->isVisible();
        });
    };
    const QString globalStatus = status->text();
    QCOMPARE(customShown(), 0);

    widget.setUseDefaultValues(false);
    QCOMPARE(customShown(), 4);
    QVERIFY(status->text() != globalStatus);
    widget.setKey("/no/such/key.pem");
    widget.setKey(QString());
    QCOMPARE(keyChooser->rawPath(), QString("/no/such/key.pem"));
    QVERIFY(keyChooser->isValid());

    combo->setCurrentIndex(0);
    QCOMPARE(customShown(), 0);
    QCOMPARE(status->text(), globalStatus);
}

void tst_SignStep::savedStepLoadsAsSaved_data()
{
    QTest::addColumn<QVariantMap>("saved");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("certificate");
    const QVariantMap paths{{"Quillmark.Key", "/own/key.pem"}, {"Quillmark.Cert", "/own/cert.pem"}};
    const auto with = [](QVariantMap map, bool useDefault) {
        map.insert("Quillmark.UseDefaultValues", useDefault);
        return map;
    };
    QTest::newRow("global keys") << with({}, true) << DEFAULT_KEY << DEFAULT_CERTIFICATE;
    QTest::newRow("without the flag") << QVariantMap() << DEFAULT_KEY << DEFAULT_CERTIFICATE;
    QTest::newRow("without the flag, with paths") << paths << DEFAULT_KEY << DEFAULT_CERTIFICATE;
    QTest::newRow("global keys, stale paths")
        << with(paths, true) << DEFAULT_KEY << DEFAULT_CERTIFICATE;
    QTest::newRow("own keys") << with(paths, false) << "/own/key.pem"
                              << "/own/cert.pem";
    QTest::newRow("own keys without paths") << with({}, false) << QString() << QString();
}

// A saved step loads with the keys it was saved with and saves them again, nothing more.
void tst_SignStep::savedStepLoadsAsSaved()
{
    QFETCH(QVariantMap, saved);
    QFETCH(QString, key);
    QFETCH(QString, certificate);
    BuildConfiguration *configuration = debugConfiguration(m_multi);
    QVariantMap map = makeStep(configuration)->toMap();
    map.remove("Quillmark.UseDefaultValues");
    QVERIFY(!map.contains("Quillmark.Key"));
    map.insert(saved);

    const auto step = makeStep(configuration);
    QVERIFY(step->fromMap(map));

    QCOMPARE(step->key(), key);
    QCOMPARE(step->certificate(), certificate);
    const bool own = !saved.value("Quillmark.UseDefaultValues", true).toBool();
    QVariantMap expected{{"Quillmark.UseDefaultValues", !own}};
    if (own) {
        expected.insert("Quillmark.Key", key);
        expected.insert("Quillmark.Cert", certificate);
    }
    QVariantMap savedAgain;
    const QVariantMap stepMap = step->toMap();
    for (auto it = stepMap.cbegin(); it != stepMap.cend(); ++it) {
        if (it.key().startsWith("Quillmark."))
            savedAgain.insert(it.key(), it.value());
    }
    QCOMPARE(savedAgain, expected);
}

void tst_SignStep::globalKeys()
{
    const auto step = makeStep(debugConfiguration(m_single));
    QCOMPARE(step->key(), QString(DEFAULT_KEY));
    QCOMPARE(step->certificate(), QString(DEFAULT_CERTIFICATE));

    QSettings().setValue("Quillmark.GlobalSignKey", "/global/key.pem");
    QSettings().setValue("Quillmark.GlobalSignCert", "/global/cert.pem");
    QCOMPARE(step->key(), QString("/global/key.pem"));
    runStep(step.get());
    QCOMPARE(m_pkgseal->calls().value(0).section(' ', 0, 5),
             QString("pkgseal sign -k /global/key.pem -c /global/cert.pem"));

    QSettings().setValue("Quillmark.GlobalSignKey", QString());
    QSettings().setValue("Quillmark.GlobalSignCert", QString());
    QCOMPARE(step->key(), QString(DEFAULT_KEY));
    QCOMPARE(step->certificate(), QString(DEFAULT_CERTIFICATE));

    // Own keys win over the global ones.
    QSettings().setValue("Quillmark.GlobalSignKey", "/global/key.pem");
    step->setKey("/own/key.pem");
    QCOMPARE(step->key(), QString("/own/key.pem"));
}

void tst_SignStep::configWidgetKeepsPaths()
{
    const auto step = makeStep(debugConfiguration(m_single));
    step->setKey("/own/key.pem");
    step->setCertificate("/own/cert.pem");

    std::unique_ptr<QWidget> widget(step->doCreateConfigWidget());
    auto combo = widget->findChild<QComboBox *>("keysTypeComboBox");
    auto keyChooser = widget->findChild<Utils::PathChooser *>("keyPathChooser");
    QCOMPARE(combo->currentIndex(), 1);
    QCOMPARE(keyChooser->rawPath(), QString("/own/key.pem"));
    QCOMPARE(widget->findChild<Utils::PathChooser *>("certificatePathChooser")->rawPath(),
             QString("/own/cert.pem"));

    combo->setCurrentIndex(0);
    QCOMPARE(step->key(), QString(DEFAULT_KEY));
    QVERIFY(!step->toMap().contains("Quillmark.Key"));
    combo->setCurrentIndex(1);
    QCOMPARE(step->key(), QString("/own/key.pem"));
    QCOMPARE(step->certificate(), QString("/own/cert.pem"));

    keyChooser->lineEdit()->clear();
    QTest::keyClicks(keyChooser->lineEdit(), "/typed.pem");
    QCOMPARE(step->key(), QString("/typed.pem"));
    QCOMPARE(step->toMap().value("Quillmark.Key"), QVariant("/typed.pem"));

    // Back to the global keys, the settings closed and opened again: "Custom keys" shows the
    // paths it signs with.
    combo->setCurrentIndex(0);
    widget.reset(step->doCreateConfigWidget());
    combo = widget->findChild<QComboBox *>("keysTypeComboBox");
    QCOMPARE(combo->currentIndex(), 0);
    combo->setCurrentIndex(1);
    QCOMPARE(widget->findChild<Utils::PathChooser *>("keyPathChooser")->rawPath(),
             QString("/typed.pem"));
    QCOMPARE(widget->findChild<Utils::PathChooser *>("certificatePathChooser")->rawPath(),
             QString("/own/cert.pem"));
    QCOMPARE(step->certificate(), QString("/own/cert.pem"));

    // A step in default mode shows empty choosers, whatever the global keys are.
    const auto globalStep = makeStep(debugConfiguration(m_single));
    std::unique_ptr<QWidget> globalWidget(globalStep->doCreateConfigWidget());
    QCOMPARE(globalWidget->findChild<QComboBox *>("keysTypeComboBox")->currentIndex(), 0);
    QCOMPARE(globalWidget->findChild<Utils::PathChooser *>("keyPathChooser")->rawPath(), QString());
}

void tst_SignStep::listenerInsertedStepSignsAfterBuild()
{
    // The plug-in's listener put the step right after the platform build step, and the build of
    // initTestCase ran it with the engine's default keys.
    const QList<BuildStep *> steps = debugConfiguration(m_multi)->buildSteps()->steps();
    QCOMPARE(steps.size(), 2);
    QVERIFY(qobject_cast<KamBuildStep *>(steps.at(0)));
    QCOMPARE(steps.at(1)->id(), PkgsealStep::stepId());
    QCOMPARE(steps.at(1)->displayName(), QString("RPM Sign (pkgseal)"));
    QVERIFY(steps.at(1)->enabled());

    // All packages go to one sign call, then to one dump.
    const QStringList packages = packagesOf(debugConfiguration(m_multi));
    QCOMPARE(packages.size(), 2);
    m_pkgseal->setOutput("sign",
                         (packages.at(1) + ": signed by CN = Dev\nnot a package: signed by x\n"
                          + packages.at(0) + ": already signed with the certificate of CN = Dev, "
                          + "no signature added\n")
                             .toUtf8());
    m_pkgseal->setError("sign", "a warning\n");
    const StepRun run = runStep(static_cast<PkgsealStep *>(steps.at(1)));
    QCOMPARE(m_pkgseal->calls(),
             QStringList({QString("pkgseal sign -k %1 -c %2 %3")
                              .arg(DEFAULT_KEY, DEFAULT_CERTIFICATE, packages.join(' ')),
                          "pkgseal dump " + packages.join(' ')}));
    QCOMPARE(run.lines.first(),
             qMakePair(QString("Signing RPM package..."), OutputFormat::NormalMessage));
    QVERIFY(run.has("not a package: signed by x", OutputFormat::Stdout));
    const auto name = [&packages](int i) { return QFileInfo(packages.at(i)).fileName(); };
    QCOMPARE(run.progress,
             (QList<QPair<int, QString>>{{50, QString("Signed %1 (1 of 2)").arg(name(1))},
                                         {100, QString("Signed %1 (2 of 2)").arg(name(0))}}));
    QVERIFY(run.has("a warning", OutputFormat::Stderr));
    QVERIFY(run.has("Package sign completed successfully.", OutputFormat::NormalMessage));
    QCOMPARE(run.finished, QList<bool>{true});
}

void tst_SignStep::notes_data()
{
    QTest::addColumn<QByteArray>("dump");
    QTest::addColumn<QStringList>("notes");

    const QByteArray developer = "Subject: /O=Demo/OU=developer/CN=Dev\nGroup: developer\n"
                                 "Subgroup: none\nKey ID: AA:BB\nSignature: sha256 1234\n";
    const QByteArray client = "Subject: /O=Demo/OU=client/CN=Client\nGroup: client\n"
                              "Subgroup: none\nKey ID: CC:DD\nSignature: sha256 5678\n";
    const QByteArray a = "/ws/multi/build/RPMS/noarch/multi-1.0-1.noarch.rpm:\n";
    const QByteArray b = "/ws/multi/build/RPMS/noarch/multi-extra-1.0-1.noarch.rpm:\n";
    const QString aName = "multi-1.0-1.noarch.rpm";
    const QString bName = "multi-extra-1.0-1.noarch.rpm";

    QTest::newRow("developer and client")
        << a + developer + client + b + developer + client << QStringList();
    QTest::newRow("developer only")
        << a + developer + b + developer + client << QStringList{developerNote(aName)};
    QTest::newRow("no group line") << a + "no signatures\n" + b + developer
                                   << QStringList{notSignedNote(aName), developerNote(bName)};
    QTest::newRow("other group") << a + "Subject: x\nGroup: tester\nSubgroup: client\n" + b
                                        + "Subject: y\nGroup: Client\n"
                                 << QStringList{notSignedNote(aName), notSignedNote(bName)};
    QTest::newRow("last group line without line break")
        << a + developer + b + "Subject: /CN=x\nGroup: client"
        << QStringList{developerNote(aName), notSignedNote(bName)};
    QTest::newRow("text before the first path is not read")
        << "Group: developer\n" + a + client + b + client << QStringList();
    QTest::newRow("no path in the dump") << QByteArray("Group: developer\n") << QStringList();
    QTest::newRow("folders named .rpm")
        << "/ws/a.rpm/RPMS/one.rpm:\n" + developer + "/ws/b.rpm-build/two.rpm:\n" + client
        << QStringList{developerNote("one.rpm")};
    QTest::newRow("subject naming a group")
        << a + "Subject: O = Demo, OU = developer, CN = Group: client\nGroup: developer\n" + b
               + "Subject: CN = /ws/x.rpm\n" + client
        << QStringList{developerNote(aName)};
    QTest::newRow("CRLF line ends") << a + "Group: client\r\n" + b + "Group: developer\r\n"
                                    << QStringList{developerNote(bName)};
}

void tst_SignStep::notes()
{
    QFETCH(QByteArray, dump);
    QFETCH(QStringList, notes);
    const auto step = makeStep(debugConfiguration(m_multi));
    m_pkgseal->setOutput("dump", dump);
    const StepRun run = runStep(step.get());

    QStringList written;
    for (const auto &line : run.lines) {
        if (line.first.startsWith("Note: ")) {
            QCOMPARE(line.second, OutputFormat::Stderr);
            written.append(line.first);
        }
    }
    QCOMPARE(written, notes);
    QCOMPARE(run.finished, QList<bool>{true});
}

void tst_SignStep::singlePackageNoteNamesPackageAsGiven()
{
    const auto step = makeStep(debugConfiguration(m_single));
    const QString package = packagesOf(debugConfiguration(m_single)).value(0);
    QVERIFY(package.endsWith(".rpm"));

    // With one package the whole dump is read, whatever paths it names.
    m_pkgseal->setOutput("dump", "/elsewhere/other.rpm:\nSubject: x\nGroup: developer\n");
    StepRun run = runStep(step.get());
    QVERIFY(run.has(developerNote(package), OutputFormat::Stderr));

    m_pkgseal->setOutput("dump", "Subject: x\nGroup: developer\nSubject: y\nGroup: client\n");
    run = runStep(step.get());
    QVERIFY(!run.texts().join('\n').contains("Note: "));

    m_pkgseal->setOutput("dump", "");
    run = runStep(step.get());
    QVERIFY(run.has(notSignedNote(package), OutputFormat::Stderr));
}

void tst_SignStep::failedToolRun_data()
{
    QTest::addColumn<QString>("sub");
    QTest::addColumn<bool>("success");
    QTest::addColumn<QString>("reason");
    // A failed signing fails the step; a failed dump of the signed packages only says so.
    QTest::newRow("sign") << "sign" << false << "pkgseal: cannot read key";
    QTest::newRow("dump") << "dump" << true << "Failed to verify signature dump";
}

void tst_SignStep::failedToolRun()
{
    QFETCH(QString, sub);
    QFETCH(bool, success);
    QFETCH(QString, reason);
    const auto step = makeStep(debugConfiguration(m_multi));
    m_pkgseal->setOutput("dump", "/a/x.rpm:\nGroup: developer\n");
    m_pkgseal->setError("sign", "pkgseal: cannot read key\n");
    m_pkgseal->setExitCode(sub, 3);
    const StepRun run = runStep(step.get());

    QCOMPARE(run.finished, QList<bool>{success});
    QCOMPARE(m_pkgseal->calls().size(), success ? 2 : 1);
    QCOMPARE(run.lines.last(), qMakePair(reason, OutputFormat::Stderr));
    QCOMPARE(run.has("Package sign completed successfully.", OutputFormat::NormalMessage), success);
    QVERIFY(!run.texts().join('\n').contains("Note: "));
}

void tst_SignStep::signStepsInDeployList()
{
    BuildConfiguration *configuration = debugConfiguration(m_multi);
    BuildStepList *deploySteps = configuration->target()->activeDeployConfiguration()->stepList();
    auto first = new PkgsealStep(deploySteps, PkgsealStep::stepId());
    auto last = new PkgsealStep(deploySteps, PkgsealStep::stepId());
    deploySteps->appendStep(first);
    deploySteps->appendStep(last);
    m_pkgseal->setOutput("dump", "/a/x.rpm:\nGroup: developer\n/a/y.rpm:\nGroup: developer\n");

    // Only the last enabled sign step of the deploy list checks the signatures.
    StepRun run = runStep(first);
    QCOMPARE(m_pkgseal->calls().filter("pkgseal dump").size(), 0);
    QVERIFY(!run.texts().join('\n').contains("Note: "));
    QCOMPARE(run.finished, QList<bool>{true});
    run = runStep(last);
    QCOMPARE(m_pkgseal->calls().filter("pkgseal dump").size(), 1);
    QVERIFY(run.has(developerNote("x.rpm"), OutputFormat::Stderr));

    // A step of the build list leaves the check to the deploy list.
    const auto buildListStep = makeStep(configuration);
    runStep(buildListStep.get());
    QCOMPARE(m_pkgseal->calls().filter("pkgseal dump").size(), 1);

    // Disabled steps don't count.
    last->setEnabled(false);
    runStep(first);
    QCOMPARE(m_pkgseal->calls().filter("pkgseal dump").size(), 2);
    first->setEnabled(false);
    runStep(buildListStep.get());
    QCOMPARE(m_pkgseal->calls().filter("pkgseal dump").size(), 3);

    while (deploySteps->count() > 0)
        QVERIFY(deploySteps->removeStep(0));
}

void tst_SignStep::cancel_data()
{
    QTest::addColumn<QString>("heldCall");
    QTest::newRow("while signing") << "sign";
    QTest::newRow("while dumping") << "dump";
}

void tst_SignStep::cancel()
{
    QFETCH(QString, heldCall);
    const bool dumping = heldCall == "dump";
    const auto step = makeStep(debugConfiguration(m_multi));
    m_pkgseal->hold(heldCall);
    m_pkgseal->setOutput("dump", "/a/x.rpm:\nGroup: developer\n/a/y.rpm:\n");
    const StepRun run = runStep(step.get(), cancelWhenHeld(false));

    // The tool was stopped, and the step reported its end once.
    QCOMPARE(run.finished, QList<bool>{false});
    QVERIFY(run.has("Package sign stopped by user", OutputFormat::ErrorMessage));
    QVERIFY(!m_pkgseal->wentOnAfterHold(heldCall));
    QVERIFY(!run.texts().join('\n').contains("Note: "));
    QCOMPARE(run.has("Package sign completed successfully.", OutputFormat::NormalMessage), dumping);
    // What the packages are: all signed once signing was done, otherwise as a dump tells.
    const QStringList told = run.texts().mid(run.texts().indexOf("Package sign stopped by user"));
    QCOMPARE(told.mid(1),
             dumping ? QStringList("All packages are signed.")
                     : QStringList({"/a/x.rpm:",
                                    "Group: developer",
                                    "/a/y.rpm:",
                                    "Signed before the stop: x.rpm",
                                    "Not signed, left as they were: y.rpm"}));
    QCOMPARE(m_pkgseal->calls().filter("pkgseal sign").size(), 1);

    // The step runs normally afterwards; a cancel outside a run reports nothing.
    m_pkgseal->reset();
    QCOMPARE(runStep(step.get()).finished, QList<bool>{true});
    QSignalSpy finished(step.get(), &BuildStep::finished);
    step->cancel();
    QCOMPARE(finished.count(), 0);
}

void tst_SignStep::deletedWhileSigning()
{
    // A step that goes while it signs (its project closed) stops its tool.
    auto step = new PkgsealStep(debugConfiguration(m_multi)->buildSteps(), PkgsealStep::stepId());
    const QPointer<PkgsealStep> guard(step);
    m_pkgseal->hold("sign");
    runStep(step, cancelWhenHeld(true));

    QVERIFY(!guard);
    QVERIFY(!m_pkgseal->wentOnAfterHold("sign"));
    QCOMPARE(m_pkgseal->calls().size(), 1);
}

void tst_SignStep::failsWithItsReason_data()
{
    QTest::addColumn<QString>("cause");
    QTest::addColumn<QString>("error");
    QTest::addColumn<OutputFormat>("format");
    QTest::newRow("no platform build step")
        << "no build step" << QString("Error: No previous \"Kelvara Build\" step found")
        << OutputFormat::ErrorMessage;
    QTest::newRow("never built") << "never built" << QString("Error: no package for sign found")
                                 << OutputFormat::ErrorMessage;
    QTest::newRow("no build container")
        << "no container" << QString("Build containers not found!") << OutputFormat::Stderr;
    QTest::newRow("run command cannot start")
        << "/nonexistent/run-command" << QString("Could not start \"/nonexistent/run-command\": ")
        << OutputFormat::Stderr;
}

void tst_SignStep::failsWithItsReason()
{
    QFETCH(QString, cause);
    QFETCH(QString, error);
    QFETCH(OutputFormat, format);
    // The Release configurations are never built; the Debug one of m_multi is.
    Project *project = cause == "never built" ? m_single : m_multi;
    BuildConfiguration *configuration = project->targets().first()->buildConfigurations().last();
    const bool toolRuns = cause.startsWith('/') || cause == "no container";
    if (toolRuns)
        configuration = debugConfiguration(m_multi);
    const auto step = makeStep(configuration);
    if (cause == "no build step") {
        BuildStepList *steps = configuration->buildSteps();
        QVERIFY(steps->removeStep(steps->steps().indexOf(steps->firstOfType<KamBuildStep>())));
    } else if (toolRuns) {
        m_sdk->setRunCommands(cause.startsWith('/') ? QStringList(cause) : QStringList());
        m_sdk->save();
    }
    QStringList paneLines;
    connect(Core::MessageManager::instance(),
            &Core::MessageManager::messageWritten,
            step.get(),
            [&paneLines](const QString &line) { paneLines << line; });

    const StepRun run = runStep(step.get());
    m_sdk->setRunCommands({m_pkgseal->runCommand()});
    m_sdk->save();

    QCOMPARE(run.texts().value(0), QString("Signing RPM package..."));
    QVERIFY2(run.texts().value(1).startsWith(error), qPrintable(run.texts().value(1)));
    QCOMPARE(run.lines.value(1).second, format);
    QCOMPARE(run.lines.size(), 2);
    QCOMPARE(run.finished, QList<bool>{false});
    QVERIFY(m_pkgseal->calls().isEmpty());
    if (format == OutputFormat::Stderr)
        QVERIFY(paneLines.contains("[E]\t" + run.texts().value(1)));
}

QTEST_MAIN(tst_SignStep)

#include "tst_signstep.moc"
