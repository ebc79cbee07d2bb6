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

#include <QApplication>
#include <QComboBox>
#include <QFormLayout>
#include <QLabel>
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

QByteArray readContents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
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
    void useReal(const QString &pkgseal) { write("real", pkgseal.toUtf8()); }
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

    void widgetForm();
    void widgetModesAndPaths();

    void savedForm();
    void globalKeys();
    void configWidgetKeepsPaths();

    void listenerInsertedStepSignsAfterBuild();
    void notes_data();
    void notes();
    void singlePackageNoteNamesPackageAsGiven();
    void failedSigning();
    void failedDumpStillSucceeds();
    void signStepsInDeployList();
    void cancel_data();
    void cancel();
    void deletedWhileSigning();
    void failsWithItsReason_data();
    void failsWithItsReason();
    void withTheRealPkgseal_data();
    void withTheRealPkgseal();

private:
    Project *openProject(const QString &name, const QByteArray &specText);
    BuildConfiguration *debugConfiguration(Project *project) const;
    QStringList packagesOf(BuildConfiguration *configuration) const;
    std::unique_ptr<PkgsealStep> makeStep(BuildConfiguration *configuration) const;
    StepRun runStep(PkgsealStep *step,
                    const std::function<void(PkgsealStep *, StepRun &)> &onLine = {});
    std::function<void(PkgsealStep *, StepRun &)> cancelWhenHeld(bool deleteStep);
    QString demoSdk();
    Project *largeProject();
    QString issueCertificate(const QString &subject);

    std::unique_ptr<QTemporaryDir> m_scriptDir;
    QTimer m_releaseTimer;
    std::unique_ptr<ScriptedPkgseal> m_pkgseal;
    std::unique_ptr<TestSdk> m_sdk;
    std::unique_ptr<TestIde> m_ide;
    Project *m_single = nullptr;
    Project *m_multi = nullptr;
    Project *m_large = nullptr;
    QString m_demoSdk;
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

void tst_SignStep::widgetForm()
{
    PkgsealWidget widget;
    QCOMPARE(widget.size(), QSize(400, 118));
    auto layout = qobject_cast<QFormLayout *>(widget.layout());
    QVERIFY(layout);

    const struct
    {
        const char *name;
        int row;
        QFormLayout::ItemRole role;
        const char *text;
    } cells[] = {{"commandLabel", 0, QFormLayout::LabelRole, "Command:"},
                 {"commandLabelEdit", 0, QFormLayout::FieldRole, "pkgseal"},
                 {"keysTypeComboBox", 1, QFormLayout::LabelRole, nullptr},
                 {"keysTypeLabel", 1, QFormLayout::FieldRole, nullptr},
                 {"keyLabel", 2, QFormLayout::LabelRole, "Key:"},
                 {"keyPathChooser", 2, QFormLayout::FieldRole, nullptr},
                 {"certificateLabel", 4, QFormLayout::LabelRole, "Certificate:"},
                 {"certificatePathChooser", 4, QFormLayout::FieldRole, nullptr}};
    for (const auto &cell : cells) {
        auto child = widget.findChild<QWidget *>(cell.name);
        QVERIFY2(child, cell.name);
        int row = -1;
        QFormLayout::ItemRole role;
        layout->getWidgetPosition(child, &row, &role);
        QCOMPARE(row, cell.row);
        QCOMPARE(role, cell.role);
        if (cell.text)
            QCOMPARE(qobject_cast<QLabel *>(child)->text(), QString(cell.text));
    }
    QVERIFY(!layout->itemAt(3, QFormLayout::LabelRole));
    QVERIFY(!layout->itemAt(3, QFormLayout::FieldRole));

    for (const auto &[name, title] :
         {std::make_pair("keyPathChooser", "User private key for signing the package"),
          std::make_pair("certificatePathChooser", "Certificate to be used in signature")}) {
        auto chooser = widget.findChild<Utils::PathChooser *>(name);
        QCOMPARE(chooser->expectedKind(), Utils::PathChooser::File);
        QCOMPARE(chooser->promptDialogTitle(), QString(title));
    }
}

void tst_SignStep::widgetModesAndPaths()
{
    PkgsealWidget widget;
    auto combo = widget.findChild<QComboBox *>("keysTypeComboBox");
    auto status = widget.findChild<QLabel *>("keysTypeLabel");
    auto keyChooser = widget.findChild<Utils::PathChooser *>("keyPathChooser");
    auto certificateChooser = widget.findChild<Utils::PathChooser *>("certificatePathChooser");
    const QList<QWidget *> customWidgets = {keyChooser,
                                            certificateChooser,
                                            widget.findChild<QWidget *>("keyLabel"),
                                            widget.findChild<QWidget *>("certificateLabel")};
    auto customShown = [&] {
        int shown = 0;
        for (QWidget *w : customWidgets)
            shown += w->isVisibleTo(&widget) ? 1 : 0;
        return shown;
    };

    QCOMPARE(combo->count(), 2);
    QCOMPARE(combo->itemText(0), QString("Default"));
    QCOMPARE(combo->itemText(1), QString("Custom keys"));
    QCOMPARE(combo->currentIndex(), 0);
    QCOMPARE(status->text(), QString("Global keys are used"));
    widget.show();
    QCOMPARE(customShown(), 0);

    // Paths set while the global keys are chosen are shown in custom mode.
    widget.setKey("/hidden/key.pem");
    widget.setCertificate("/hidden/cert.pem");
    QSignalSpy useDefault(&widget, &PkgsealWidget::useDefaultValuesChanged);
    QSignalSpy keyChanged(&widget, &PkgsealWidget::keyChanged);
    QSignalSpy certificateChanged(&widget, &PkgsealWidget::certificateChanged);

    combo->setCurrentIndex(1);
    QCOMPARE(useDefault.count(), 1);
    QCOMPARE(useDefault.last().first().toBool(), false);
    QCOMPARE(customShown(), 4);
    QCOMPARE(status->text(), QString("Custom keys are used"));
    QCOMPARE(keyChooser->rawPath(), QString("/hidden/key.pem"));
    QCOMPARE(certificateChooser->rawPath(), QString("/hidden/cert.pem"));

    widget.setUseDefaultValues(true);
    QCOMPARE(combo->currentIndex(), 0);
    QCOMPARE(useDefault.count(), 2);
    QCOMPARE(useDefault.last().first().toBool(), true);
    QCOMPARE(customShown(), 0);
    QCOMPARE(status->text(), QString("Global keys are used"));

    widget.setUseDefaultValues(false);
    QCOMPARE(combo->currentIndex(), 1);
    QCOMPARE(useDefault.last().first().toBool(), false);
    QCOMPARE(keyChanged.count(), 0);
    QCOMPARE(certificateChanged.count(), 0);

    widget.setKey("/keys/key.pem");
    widget.setCertificate("/keys/cert.pem");
    QCOMPARE(keyChooser->rawPath(), QString("/keys/key.pem"));
    QCOMPARE(certificateChooser->rawPath(), QString("/keys/cert.pem"));
    QCOMPARE(keyChanged.last().first().toString(), QString("/keys/key.pem"));
    QCOMPARE(certificateChanged.last().first().toString(), QString("/keys/cert.pem"));

    // An empty path changes nothing, in either mode.
    widget.setKey(QString());
    widget.setCertificate(QString());
    QCOMPARE(keyChooser->rawPath(), QString("/keys/key.pem"));
    QCOMPARE(certificateChooser->rawPath(), QString("/keys/cert.pem"));

    // Every typed text is reported, also for files that don't exist; all paths are valid.
    keyChooser->lineEdit()->clear();
    keyChanged.clear();
    QTest::keyClicks(keyChooser->lineEdit(), "/no/such");
    QCOMPARE(keyChanged.count(), 8);
    QCOMPARE(keyChanged.last().first().toString(), QString("/no/such"));
    QVERIFY(keyChooser->isValid());
    certificateChanged.clear();
    QTest::keyClicks(certificateChooser->lineEdit(), "x");
    QCOMPARE(certificateChanged.last().first().toString(), QString("/keys/cert.pemx"));
    QVERIFY(certificateChooser->isValid());
}

void tst_SignStep::savedForm()
{
    BuildConfiguration *configuration = debugConfiguration(m_multi);
    const auto fresh = makeStep(configuration);
    const QVariantMap freshMap = fresh->toMap();
    QCOMPARE(freshMap.value("Quillmark.UseDefaultValues"), QVariant(true));
    for (auto it = freshMap.cbegin(); it != freshMap.cend(); ++it)
        QVERIFY2(!it.key().startsWith("Quillmark.") || it.key() == "Quillmark.UseDefaultValues",
                 qPrintable(it.key()));

    // Stale key entries next to the flag are neither read nor saved again.
    QVariantMap stale = freshMap;
    stale.insert("Quillmark.Key", "/stale/key.pem");
    stale.insert("Quillmark.Cert", "/stale/cert.pem");
    const auto restored = makeStep(configuration);
    QVERIFY(restored->fromMap(stale));
    QCOMPARE(restored->key(), QString(DEFAULT_KEY));
    QVERIFY(!restored->toMap().contains("Quillmark.Key"));
    QVERIFY(!restored->toMap().contains("Quillmark.Cert"));

    // Own keys round trip.
    const auto own = makeStep(configuration);
    own->setKey("/own/key.pem");
    own->setCertificate("/own/cert.pem");
    const QVariantMap ownMap = own->toMap();
    QCOMPARE(ownMap.value("Quillmark.UseDefaultValues"), QVariant(false));
    QCOMPARE(ownMap.value("Quillmark.Key"), QVariant("/own/key.pem"));
    QCOMPARE(ownMap.value("Quillmark.Cert"), QVariant("/own/cert.pem"));
    const auto ownRestored = makeStep(configuration);
    QVERIFY(ownRestored->fromMap(ownMap));
    QCOMPARE(ownRestored->key(), QString("/own/key.pem"));
    QCOMPARE(ownRestored->certificate(), QString("/own/cert.pem"));

    // Custom mode without saved paths signs with empty paths.
    QVariantMap noPaths = freshMap;
    noPaths.insert("Quillmark.UseDefaultValues", false);
    const auto empty = makeStep(configuration);
    QVERIFY(empty->fromMap(noPaths));
    const StepRun run = runStep(empty.get());
    QCOMPARE(m_pkgseal->calls().value(0),
             "pkgseal sign -k  -c  " + packagesOf(configuration).join(' '));
    QCOMPARE(run.finished, QList<bool>{true});
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
    QTest::newRow("folders named rpm...") << "/ws/rpmbuild/RPMS/noarch/one.rpm:\n" + developer
                                                 + "/ws/rpmbuild/RPMS/noarch/two.rpm:\n" + client
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

void tst_SignStep::failedSigning()
{
    const auto step = makeStep(debugConfiguration(m_multi));
    m_pkgseal->setError("sign", "pkgseal: cannot read key\n");
    m_pkgseal->setExitCode("sign", 3);
    const StepRun run = runStep(step.get());

    QCOMPARE(run.finished, QList<bool>{false});
    QCOMPARE(m_pkgseal->calls().size(), 1);
    QVERIFY(run.has("pkgseal: cannot read key", OutputFormat::Stderr));
    const QString all = run.texts().join('\n');
    QVERIFY(!all.contains("Package sign completed successfully."));
    QVERIFY(!all.contains("Note: "));
}

void tst_SignStep::failedDumpStillSucceeds()
{
    const auto step = makeStep(debugConfiguration(m_multi));
    m_pkgseal->setOutput("dump", "/a/x.rpm:\nGroup: developer\n");
    m_pkgseal->setExitCode("dump", 1);
    const StepRun run = runStep(step.get());

    QCOMPARE(run.lines.last(),
             qMakePair(QString("Failed to verify signature dump"), OutputFormat::Stderr));
    QVERIFY(!run.texts().join('\n').contains("Note: "));
    QCOMPARE(run.finished, QList<bool>{true});
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

// The SDK's keys, made once; the tools run on the host and read them where they are.
QString tst_SignStep::demoSdk()
{
    if (m_demoSdk.isEmpty())
        m_demoSdk = TestSdk::createDemo(m_scriptDir->path() + "/demo-sdk");
    return m_demoSdk;
}

// Eight packages of 16 MiB, which take pkgseal a while to sign.
Project *tst_SignStep::largeProject()
{
    if (m_large)
        return m_large;
    QByteArray spec = "Name: large\nVersion: 1.0\nRelease: 1\nSummary: Large packages\n"
                      "License: MIT\nBuildArch: noarch\n%define _binary_payload w0.ufdio\n"
                      "%description\nLarge.\n";
    QByteArray install = "%install\nmkdir -p %{buildroot}/data\n";
    QByteArray files;
    for (int i = 1; i <= 8; ++i) {
        const QByteArray n = QByteArray::number(i);
        spec += "%package p" + n + "\nSummary: Part " + n + "\n%description p" + n + "\nPart.\n";
        install += "head -c 16M /dev/urandom > %{buildroot}/data/" + n + "\n";
        files += "%files p" + n + "\n/data/" + n + "\n";
    }
    m_large = openProject("large", spec + install + files);
    if (!m_large)
        return nullptr;
    QSignalSpy buildEnd(BuildManager::instance(), &BuildManager::buildQueueFinished);
    BuildManager::buildList(debugConfiguration(m_large)->buildSteps());
    if (!buildEnd.wait(120000) || !buildEnd.first().first().toBool())
        m_large = nullptr;
    return m_large;
}

// A developer certificate for the demo key, issued by the demo root CA.
QString tst_SignStep::issueCertificate(const QString &subject)
{
    const QString sdk = demoSdk();
    const QString request = m_scriptDir->path() + "/issued.csr";
    const QString certificate = m_scriptDir->path() + "/issued-cert.pem";
    const QString extensions = m_scriptDir->path() + "/issued.ext";
    writeFile(extensions,
              "basicConstraints = critical, CA:FALSE\nkeyUsage = critical, digitalSignature\n"
              "subjectKeyIdentifier = hash\nauthorityKeyIdentifier = keyid\n");
    const QList<QStringList> commands = {{"req",
                                          "-new",
                                          "-key",
                                          sdk + "/keys/developer-key.pem",
                                          "-subj",
                                          subject,
                                          "-config",
                                          "/dev/null",
                                          "-out",
                                          request},
                                         {"x509",
                                          "-req",
                                          "-in",
                                          request,
                                          "-CA",
                                          sdk + "/ca/root-ca.pem",
                                          "-CAkey",
                                          sdk + "/ca/root-ca-key.pem",
                                          "-set_serial",
                                          "7",
                                          "-days",
                                          "30",
                                          "-extfile",
                                          extensions,
                                          "-out",
                                          certificate}};
    for (const QStringList &arguments : commands) {
        QProcess openssl;
        openssl.start("openssl", arguments);
        if (!openssl.waitForFinished(-1) || openssl.exitCode() != 0)
            return {};
    }
    return certificate;
}

// The processes of program that work on files of folder (other tests may run it too).
static QStringList runningProcesses(const QString &program, const QString &folder)
{
    QStringList found;
    for (const QString &pid : QDir("/proc").entryList(QDir::Dirs)) {
        QFile commandLine(QString("/proc/%1/cmdline").arg(pid));
        if (QFileInfo(QString("/proc/%1/exe").arg(pid)).symLinkTarget() == program
            && commandLine.open(QIODevice::ReadOnly)
            && commandLine.readAll().contains(folder.toUtf8())) {
            found.append(pid);
        }
    }
    return found;
}

void tst_SignStep::withTheRealPkgseal_data()
{
    QTest::addColumn<QString>("stop");
    QTest::newRow("certificate whose name holds a group") << "nothing";
    QTest::newRow("cancel while signing") << "cancel at the first signed package";
    QTest::newRow("cancel at the pass-phrase prompt") << "cancel at the prompt";
}

void tst_SignStep::withTheRealPkgseal()
{
    QFETCH(QString, stop);
    const QString pkgseal = TestIde::buildDir() + "/bin/pkgseal";
    if (!QFile::exists(pkgseal) || demoSdk().isEmpty())
        QSKIP("pkgseal is not built");
    Project *project = stop == "cancel at the first signed package" ? largeProject() : m_multi;
    QVERIFY(project);
    m_pkgseal->useReal(pkgseal);
    const auto step = makeStep(debugConfiguration(project));
    const QStringList packages = packagesOf(debugConfiguration(project));
    step->setKey(demoSdk()
                 + (stop == "cancel at the prompt" ? "/keys/developer-key-encrypted.pem"
                                                   : "/keys/developer-key.pem"));
    step->setCertificate(stop == "nothing"
                             ? issueCertificate("/O=Kelvara Demo/OU=developer/CN=Group: client")
                             : demoSdk() + "/keys/developer-cert.pem");
    QVERIFY(QFile::exists(step->certificate()));
    QList<QByteArray> contentsBefore;
    for (const QString &package : packages)
        contentsBefore.append(readContents(package));

    bool dialogLeftOpen = false;
    QTimer promptWatch;
    connect(&promptWatch, &QTimer::timeout, this, [&] {
        if (QWidget *dialog = QApplication::activeModalWidget(); dialog && dialog->isVisible()) {
            step->cancel();
            dialogLeftOpen = dialog->isVisible();
            dialog->close();
        }
    });
    promptWatch.start(10);
    const StepRun run = runStep(step.get(), [&stop](PkgsealStep *step, StepRun &run) {
        if (stop == "cancel at the first signed package"
            && run.lines.last().first.contains(": signed by "))
            step->cancel();
    });

    QCOMPARE(run.finished, QList<bool>{stop == "nothing"});
    QCOMPARE(runningProcesses(pkgseal, m_sdk->workspacePath()), QStringList());
    QVERIFY(!dialogLeftOpen);
    QProcess dump;
    dump.start(pkgseal, QStringList("dump") + packages);
    QVERIFY(dump.waitForFinished(-1));
    QCOMPARE(dump.exitCode(), 0);
    const QString dumped = QString::fromUtf8(dump.readAllStandardOutput());
    QStringList signedPackages;
    QStringList unsignedPackages;
    for (const QString &package : packages) {
        const int start = dumped.indexOf(package + '\n');
        const int end = dumped.indexOf(QRegularExpression("^/", QRegularExpression::MultilineOption),
                                       start + 1);
        (dumped.mid(start, end - start).contains("\nGroup: ") ? signedPackages : unsignedPackages)
            .append(QFileInfo(package).fileName());
    }
    if (stop == "nothing") {
        QCOMPARE(unsignedPackages, QStringList());
        QStringList notes;
        for (const QString &name : signedPackages)
            notes.append(developerNote(name));
        QCOMPARE(run.texts().filter("Note: "), notes);
        return;
    }
    // The build output tells what the packages are.
    const QStringList told = run.texts().mid(run.texts().indexOf("Package sign stopped by user"));
    QVERIFY2(told.size() > 1, qPrintable(run.texts().join('\n')));
    if (unsignedPackages.isEmpty()) {
        QCOMPARE(told.last(), QString("All packages are signed."));
    } else {
        QCOMPARE(told.last(), "Not signed, left as they were: " + unsignedPackages.join(", "));
        if (!signedPackages.isEmpty())
            QVERIFY(told.contains("Signed before the stop: " + signedPackages.join(", ")));
    }
    if (stop == "cancel at the prompt") {
        for (int i = 0; i < packages.size(); ++i)
            QCOMPARE(readContents(packages.at(i)), contentsBefore.at(i));
    }
}

QTEST_MAIN(tst_SignStep)

#include "tst_signstep.moc"
