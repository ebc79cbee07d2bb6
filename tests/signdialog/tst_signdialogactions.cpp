#include "dialogdriver.h"
#include "passphraseanswerer.h"

#include "signdialog.h"

#include "../common/testide.h"
#include "../common/testsdk.h"

#include <utils/pathchooser.h>
#include <utils/utilsicons.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBrowser>
#include <QTimer>

#include <functional>
#include <iterator>
#include <memory>

using Quillmark::Internal::SignDialog;

namespace {

const char algorithmKey[] = "KamRpmSign.History.GenerationAlgorythm";
const char encryptKey[] = "KamRpmSign.History.GenerationEncrypt";
const char packageHistoryKey[] = "CompleterHistory/KamRpmSign.Data.Completer.RpmPackage";
// Tool runs end within this, even on a loaded machine.
const int deadline = 30000;

const char *const actionButtons[] = {"addSignaturePushButton",
                                     "removeSignaturePushButton",
                                     "dumpPushButton",
                                     "verifySignaturePushButton",
                                     "genReqButton"};

QString block(const QString &subject, const QString &group)
{
    return "Subject: CN=" + subject + "\nGroup: " + group + "\nSubgroup: none\nKey ID: " + subject
           + "-key.pem\nSignature: 0123abcd\n";
}

QString summary(const QString &subject, const QString &group)
{
    return "Subject: CN=" + subject + "\nGroup: " + group + '\n';
}

} // namespace

class tst_SignDialogActions : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void cleanupTestCase();

    void packageLookedAtOnceItsPathSettles();
    void nothingRunsOnReturnOrWithoutItsInputs();
    void pathChecks_data();
    void pathChecks();
    void failuresShowTheToolsReason_data();
    void failuresShowTheToolsReason();
    void outcomesClearedWhenTheirInputsChange_data();
    void outcomesClearedWhenTheirInputsChange();
    void packageChosenWhileBusyIsLookedAtAfterwards();
    void signaturesInTheirGroupsViews_data();
    void signaturesInTheirGroupsViews();
    void cancelledPassPhraseRemovesTheKeyItStarted();
    void generationChoicesRestoredAndStored();

private:
    void fillAllFields() const;
    void pressWhileHeld(const char *buttonName, const std::function<void()> &probe) const;
    QString outcome(const QString &labelName) const;
    QStringList disabledButtons() const;
    QString hostPath(const QString &path) const;
    QString inWorkspace(const QString &name) const { return m_sdk->workspacePath() + '/' + name; }
    QString writeWorkspaceFile(const QString &name, const QByteArray &content) const;
    // Creates the file that steers the fake container ("dump.txt", "fail-pkgseal-sign"...).
    void steer(const QString &name, const QByteArray &content = {}) const;
    // The fake container's runs, one line each: the tool's words joined with blanks.
    QStringList calls() const;

    // The fake build container: fakecontainer.sh in a folder that no container shares, beside
    // the files that steer it and the log of its calls.
    QTemporaryDir m_container;
    std::unique_ptr<TestSdk> m_sdk;
    std::unique_ptr<TestIde> m_ide;
    std::unique_ptr<SignDialog> m_dialog;
    std::unique_ptr<DialogDriver> m_driver;
    QString m_sharedFolder;
    QString m_package;
    QString m_otherPackage;
};

void tst_SignDialogActions::initTestCase()
{
    const QString runCommand = m_container.filePath("fakecontainer.sh");
    QVERIFY(QFile::copy(qEnvironmentVariable("QUILLMARK_SOURCE_DIR")
                            + "/tests/signdialog/fakecontainer.sh",
                        runCommand));
    QVERIFY(QFile::setPermissions(runCommand, QFile::ReadOwner | QFile::ExeOwner));
    m_sdk = std::make_unique<TestSdk>(QStringList{runCommand});
    m_sharedFolder = m_sdk->path() + "/second-shared";
    QVERIFY(m_sdk->isValid() && QDir().mkpath(m_sharedFolder));
    m_sdk->addEngine("second", m_sharedFolder);
    QVERIFY(m_sdk->save());
    m_ide = std::make_unique<TestIde>(m_sdk->path());

    m_package = writeWorkspaceFile("hello-1.0-1.noarch.rpm", "rpm");
    m_otherPackage = writeWorkspaceFile("other-2.0-1.noarch.rpm", "rpm");
    QVERIFY(!writeWorkspaceFile("developer-key.pem", "key").isEmpty());
    // The fake container signs with the certificate's content as the signature's group.
    QVERIFY(!writeWorkspaceFile("developer.pem", "developer").isEmpty());
}

// Each dialog opens with the package restored from the history, which runs nothing.
void tst_SignDialogActions::init()
{
    QSettings().remove("CompleterHistory");
    QSettings().setValue(packageHistoryKey, QStringList(m_package));
    for (const QString &file : {m_package, m_otherPackage})
        QFile::remove(file + ".sigs");
    const QDir container(m_container.path());
    for (const QString &name : container.entryList({"*.txt", "fail-*", "prompt", "*.log"}))
        QVERIFY(QFile::remove(container.filePath(name)));
    m_dialog = std::make_unique<SignDialog>(nullptr);
    m_dialog->show();
    m_driver = std::make_unique<DialogDriver>(m_dialog.get());
}

void tst_SignDialogActions::cleanup()
{
    m_driver.reset();
    m_dialog.reset();
}

void tst_SignDialogActions::cleanupTestCase()
{
    m_ide.reset();
    m_sdk.reset();
}

// Besides the package: the developer pair and a request to generate, all usable.
void tst_SignDialogActions::fillAllFields() const
{
    m_driver->choose("developerKeyPathChooser", inWorkspace("developer-key.pem"));
    m_driver->choose("developerCertificatePathChooser", inWorkspace("developer.pem"));
    m_driver->fillGeneration("Acme", inWorkspace("new-key.pem"), inWorkspace("new.csr"));
    QFile::remove(inWorkspace("new-key.pem"));
}

QString tst_SignDialogActions::writeWorkspaceFile(const QString &name,
                                                  const QByteArray &content) const
{
    QFile file(inWorkspace(name));
    const bool written = file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
    return written ? file.fileName() : QString();
}

void tst_SignDialogActions::steer(const QString &name, const QByteArray &content) const
{
    QFile file(m_container.filePath(name));
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(content) == content.size());
}

QStringList tst_SignDialogActions::calls() const
{
    QFile log(m_container.filePath("calls.log"));
    return log.open(QIODevice::ReadOnly)
               ? QString::fromUtf8(log.readAll()).split('\n', Qt::SkipEmptyParts)
               : QStringList();
}

// Presses the button with the next tool run held in the container; the probe runs from the
// event loop while that run is in progress, then the run is let go.
void tst_SignDialogActions::pressWhileHeld(const char *buttonName,
                                           const std::function<void()> &probe) const
{
    bool probed = false;
    QTimer timer;
    timer.setInterval(5);
    // The container removes "hold" once the run waits, and "release" once it goes on.
    connect(&timer, &QTimer::timeout, [&] {
        if (QFile::exists(m_container.filePath("hold")))
            return;
        timer.stop();
        probe();
        probed = true;
        steer("release");
    });
    steer("hold");
    timer.start();
    m_driver->press(buttonName);
    timer.stop();
    QVERIFY2(probed, buttonName);
}

// "ok", "broken" or "" (none), after the icon that the label shows.
QString tst_SignDialogActions::outcome(const QString &labelName) const
{
    const QLabel *label = m_driver->widget<QLabel>(qPrintable(labelName));
    if (DialogDriver::showsPixmap(label, Utils::Icons::OK.pixmap()))
        return "ok";
    return DialogDriver::showsPixmap(label, Utils::Icons::BROKEN.pixmap()) ? "broken" : "";
}

QStringList tst_SignDialogActions::disabledButtons() const
{
    QStringList disabled;
    for (const char *name : actionButtons) {
        if (!m_driver->widget<QPushButton>(name)->isEnabled())
            disabled << name;
    }
    return disabled;
}

// A path of the test data begins with the folder it is in: "workspace", "shared" (a second
// engine's shared folder), "sdk" (the SDK installation) or "outside" (shared with no
// container); or it is absolute; or it is a file name, in the workspace.
QString tst_SignDialogActions::hostPath(const QString &path) const
{
    const QString workspace = m_sdk->workspacePath();
    const QMap<QString, QString> folders{{"workspace", workspace},
                                         {"shared", m_sharedFolder},
                                         {"sdk", m_sdk->path()},
                                         {"outside", m_container.filePath("outside")}};
    const QString folder = path.section('/', 0, 0);
    if (folders.contains(folder))
        return folders.value(folder) + '/' + path.section('/', 1);
    return QDir::isAbsolutePath(path) ? path : workspace + '/' + path;
}

void tst_SignDialogActions::packageLookedAtOnceItsPathSettles()
{
    QCOMPARE(m_driver->widget<Utils::PathChooser>("rpmPathChooser")->filePath().toString(),
             m_package);

    // Typed key by key, the path is looked at once, when it names the package.
    m_driver->type("rpmPathChooser", m_otherPackage);
    QTRY_COMPARE_WITH_TIMEOUT(calls(),
                              QStringList({"pkgseal verify " + m_otherPackage,
                                           "pkgseal dump " + m_otherPackage}),
                              deadline);
    QCOMPARE(m_driver->widget<QLabel>("verifyLabel")->text(),
             QString("Could not verify signatures"));
    QCOMPARE(m_driver->summary("developerSignatureShortLabel"),
             QString("No signatures found in package"));

    // Emptying the path clears the verdict and the summaries.
    m_driver->choose("rpmPathChooser", QString());
    QVERIFY(m_driver->widget<QLabel>("verifyLabel")->text().isEmpty());
    QCOMPARE(outcome("verifyIconLabel"), QString());
    QVERIFY(m_driver->summary("developerSignatureShortLabel").isEmpty());
    QVERIFY(
        m_driver->widget<QTextBrowser>("developerSignatureTextBrowser")->toPlainText().isEmpty());
    QCOMPARE(calls().size(), 2);
}

void tst_SignDialogActions::nothingRunsOnReturnOrWithoutItsInputs()
{
    // Return in any field starts nothing; a file dialog opened by mistake is closed and counted.
    fillAllFields();
    QStringList opened;
    QTimer closer;
    closer.setInterval(5);
    connect(&closer, &QTimer::timeout, [&opened] {
        if (QWidget *modal = QApplication::activeModalWidget()) {
            opened << modal->windowTitle();
            modal->close();
        }
    });
    closer.start();
    QList<QWidget *> fields{m_driver->widget<QLineEdit>("generateCompanyNameLineEdit")};
    for (const Utils::PathChooser *chooser : m_dialog->findChildren<Utils::PathChooser *>())
        fields << chooser->lineEdit();
    for (QWidget *field : fields) {
        m_driver->showTabOf(field);
        field->setFocus();
        QTest::keyClick(field, Qt::Key_Return);
    }
    QCoreApplication::processEvents();
    closer.stop();
    QCOMPARE(opened, QStringList());
    QCOMPARE(calls(), QStringList());
    QVERIFY(m_dialog->isVisible());

    // Nor does an action without its package, or a request for a company named with blanks.
    m_driver->choose("rpmPathChooser", QString());
    m_driver->press("addSignaturePushButton");
    QCOMPARE(m_driver->statusMessage(), QString("RPM package field cannot be empty"));
    QCOMPARE(outcome("signStateLabel"), QString("broken"));
    m_driver->widget<QLineEdit>("generateCompanyNameLineEdit")->setText(" \t ");
    m_driver->press("genReqButton");
    QCOMPARE(outcome("generateLabel"), QString("broken"));
    QCOMPARE(calls(), QStringList());
}

void tst_SignDialogActions::pathChecks_data()
{
    QTest::addColumn<QString>("chooser");
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("problem");
    QTest::addColumn<QString>("refusingButton");
    const auto row = [](const char *tag,
                        const char *chooser,
                        const char *path,
                        const char *problem,
                        const char *refusingButton = "") {
        QTest::newRow(tag) << QString(chooser) + "PathChooser" << path << problem << refusingButton;
    };
    // The container shares the workspace and the engines' shared folders, the SDK's keys and CA
    // folders (read only) and the engine's own files.
    row("key in another engine's shared folder", "developerKey", "shared/k.pem", "");
    row("key in the SDK's keys folder", "developerKey", "sdk/keys/k.pem", "");
    row("CA in the SDK's CA folder", "caCertificate", "sdk/ca/root-ca.pem", "");
    row("engine's own bundle", "caCertificate", "/etc/keys/public/root-ca-bundle.pem", "");
    row("relative to the workspace", "developerKey", "relative.pem", "");
    row("key elsewhere in the SDK", "developerKey", "sdk/package-signing/regular_key.pem", "read");
    row("link out of the workspace", "developerKey", "workspace/link.pem -> outside/t.pem", "read");
    row("new key in the workspace", "generatedKey", "workspace/new.pem", "");
    row("existing key in the SDK's keys folder", "generatedKey", "sdk/keys/k.pem", "");
    row("new key in the SDK's keys folder", "generatedKey", "sdk/keys/new.pem", "write");
    // The chooser says why before anything runs, and its action says so instead of running.
    row("missing developer key",
        "developerKey",
        "workspace/missing.pem",
        "File does not exist",
        "addSignaturePushButton");
    row("package outside", "rpm", "outside/p.rpm", "read", "dumpPushButton");
    row("CA outside", "caCertificate", "outside/ca.pem", "read", "verifySignaturePushButton");
    row("request outside", "generatedReq", "outside/new.csr", "write", "genReqButton");
}

// Paths begin with the folder they are in (see hostPath()); a link names its target after
// "->". Files called "new..." or "missing..." are not made.
void tst_SignDialogActions::pathChecks()
{
    QFETCH(QString, chooser);
    QFETCH(QString, path);
    QFETCH(QString, problem);
    QFETCH(QString, refusingButton);
    const QString file = hostPath(path.section(" -> ", 0, 0));
    const QString target = path.contains(" -> ") ? hostPath(path.section(" -> ", 1)) : file;
    const QString name = QFileInfo(file).fileName();
    if (!name.startsWith("new") && !name.startsWith("missing") && !file.startsWith("/etc/")) {
        QVERIFY(QDir().mkpath(QFileInfo(target).absolutePath()));
        QVERIFY(QFile(target).open(QIODevice::WriteOnly));
        QVERIFY(file == target || QFile::link(target, file));
    }
    if (problem == "read" || problem == "write") {
        problem = QString("Outside the build engine's shared folder %1, the signing tool cannot "
                          "%2 it.")
                      .arg(QDir::toNativeSeparators(m_sdk->workspacePath() + ", " + m_sharedFolder),
                           problem);
    }
    fillAllFields();

    Utils::PathChooser *checked = m_driver->widget<Utils::PathChooser>(qPrintable(chooser));
    // A file name is typed as it is, and taken from the workspace.
    checked->lineEdit()->setText(path.contains('/') ? file : path);
    QCOMPARE(checked->errorMessage(), problem);
    QCOMPARE(checked->isValid(), problem.isEmpty());
    QCOMPARE(DialogDriver::shownToolTip(checked->lineEdit()), problem);
    if (refusingButton.isEmpty())
        return;

    m_driver->press(qPrintable(refusingButton));
    // The field's name, then the problem.
    const QString refusal = m_driver->statusMessage();
    QVERIFY2(refusal.endsWith(": " + problem) && refusal.size() > problem.size() + 2,
             qPrintable(refusal));
    QCOMPARE(calls(), QStringList());
    QCOMPARE(disabledButtons(), QStringList());
    if (QTest::currentDataTag() == QLatin1String("package outside"))
        QVERIFY(m_driver->render("refused-outside-path"));
}

void tst_SignDialogActions::failuresShowTheToolsReason_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("failingCommand");
    QTest::addColumn<QString>("outcomeLabel");
    QTest::addColumn<QString>("statusMessage");

    QTest::newRow("add signature") << "addSignaturePushButton"
                                   << "pkgseal sign"
                                   << "signStateLabel"
                                   << "Failed to add signature: %1";
    QTest::newRow("remove signature")
        << "removeSignaturePushButton"
        << "pkgseal delete" << QString() << "Failed to remove signature: %1";
    QTest::newRow("verify") << "verifySignaturePushButton"
                            << "pkgseal verify"
                            << "verifyIconLabel" << QString();
    QTest::newRow("dump") << "dumpPushButton"
                          << "pkgseal dump" << QString() << QString();
    QTest::newRow("generate request") << "genReqButton"
                                      << "openssl req"
                                      << "generateLabel"
                                      << "Failed to generate request: %1";
}

// The reason is the tool's, shown as it wrote it (markup and all, but for openssl's progress
// marks), where the outcome is shown; a key the user gave is never removed.
void tst_SignDialogActions::failuresShowTheToolsReason()
{
    QFETCH(QString, button);
    QFETCH(QString, failingCommand);
    QFETCH(QString, outcomeLabel);
    QFETCH(QString, statusMessage);
    const QString reason = "pkgseal: " + QString(QTest::currentDataTag())
                           + ": <b>key</b> does not belong to its certificate\nsecond line";
    fillAllFields();
    const QString key = writeWorkspaceFile("new-key.pem", "MY OWN KEY");
    steer("fail-" + QString(failingCommand).replace(' ', '-'), "..+++++\n.+\n" + reason.toUtf8());

    m_driver->press(qPrintable(button));

    QCOMPARE(calls().filter(QRegularExpression('^' + failingCommand + ' ')).size(), 1);
    QCOMPARE(m_driver->statusMessage(),
             statusMessage.isEmpty() ? QString() : statusMessage.arg(reason.simplified()));
    if (!outcomeLabel.isEmpty()) {
        QCOMPARE(outcome(outcomeLabel), QString("broken"));
        QCOMPARE(DialogDriver::shownToolTip(m_driver->widget<QLabel>(qPrintable(outcomeLabel))),
                 reason);
    }
    if (failingCommand == "pkgseal verify") {
        QCOMPARE(m_driver->widget<QLabel>("verifyLabel")->text(),
                 QString("Could not verify signatures"));
        QCOMPARE(DialogDriver::shownToolTip(m_driver->widget<QLabel>("verifyLabel")), reason);
    }
    if (failingCommand == "pkgseal dump") {
        QCOMPARE(m_driver->widget<QTextBrowser>("developerSignatureTextBrowser")->toPlainText(),
                 reason);
        QCOMPARE(m_driver->summary("developerSignatureShortLabel"), reason);
    }
    QFile keyFile(key);
    QVERIFY(keyFile.open(QIODevice::ReadOnly));
    QCOMPARE(keyFile.readAll(), QByteArray("MY OWN KEY"));
    // The status bar tells about the tab in front only.
    m_driver->showTabOf(m_driver->widget<QPushButton>(button == "genReqButton" ? "dumpPushButton"
                                                                               : "genReqButton"));
    QCOMPARE(m_driver->statusMessage(), QString());
    if (failingCommand == "pkgseal sign")
        QVERIFY(m_driver->render("failure-reason"));
}

void tst_SignDialogActions::outcomesClearedWhenTheirInputsChange_data()
{
    QTest::addColumn<QString>("input");
    QTest::addColumn<QStringList>("cleared");
    QTest::newRow("package") << "rpmPathChooser"
                             << QStringList{"signStateLabel", "verifyIconLabel"};
    QTest::newRow("key") << "developerKeyPathChooser" << QStringList{"signStateLabel"};
    QTest::newRow("CA") << "caCertificatePathChooser" << QStringList{"verifyIconLabel"};
    QTest::newRow("company") << "generateCompanyNameLineEdit" << QStringList{"generateLabel"};
}

// An outcome shown beside inputs that have changed since would tell about something else.
void tst_SignDialogActions::outcomesClearedWhenTheirInputsChange()
{
    QFETCH(QString, input);
    QFETCH(QStringList, cleared);
    fillAllFields();
    const QStringList outcomes{"signStateLabel", "verifyIconLabel", "generateLabel"};
    for (const char *button :
         {"addSignaturePushButton", "verifySignaturePushButton", "genReqButton"})
        m_driver->press(button);
    for (const QString &label : outcomes)
        QCOMPARE(outcome(label), QString("ok"));

    if (auto chooser = m_dialog->findChild<Utils::PathChooser *>(input))
        chooser->setPath(m_otherPackage);
    else
        m_driver->widget<QLineEdit>(qPrintable(input))->setText("Other Ltd");
    for (const QString &label : outcomes)
        QCOMPARE(outcome(label).isEmpty(), cleared.contains(label));
}

// Only the buttons wait for a run: the fields stay open.
void tst_SignDialogActions::packageChosenWhileBusyIsLookedAtAfterwards()
{
    fillAllFields();
    // A new package chosen during a dump is verified and dumped once the dump has ended.
    int callsWhileRunning = -1;
    QStringList disabledWhileRunning;
    pressWhileHeld("dumpPushButton", [&] {
        disabledWhileRunning = disabledButtons();
        const QList<QWidget *> fields = m_dialog->findChildren<QWidget *>(
            QRegularExpression("PathChooser$|^generat.*(Edit|Box)$"));
        // Eight paths and three choices of the request to generate.
        QCOMPARE(fields.size(), 11);
        for (const QWidget *field : fields) {
            if (!field->isEnabled())
                disabledWhileRunning << field->objectName();
        }
        m_driver->choose("rpmPathChooser", m_otherPackage);
        callsWhileRunning = calls().size();
    });
    QCOMPARE(disabledWhileRunning.size(), int(std::size(actionButtons)));
    QCOMPARE(disabledWhileRunning, disabledWhileRunning.filter(QRegularExpression("Button$")));
    QTRY_COMPARE_WITH_TIMEOUT(calls(),
                              QStringList({"pkgseal dump " + m_package,
                                           "pkgseal verify " + m_otherPackage,
                                           "pkgseal dump " + m_otherPackage}),
                              deadline);
    QCOMPARE(callsWhileRunning, 1);

    // Signing goes on to the package it began with; its outcome is not shown beside the package
    // now chosen, which is looked at once.
    QFile::remove(m_container.filePath("calls.log"));
    pressWhileHeld("addSignaturePushButton", [&] { m_driver->choose("rpmPathChooser", m_package); });
    QTRY_COMPARE_WITH_TIMEOUT(calls().mid(1),
                              QStringList(
                                  {"pkgseal verify " + m_package, "pkgseal dump " + m_package}),
                              deadline);
    QVERIFY(calls().first().endsWith(m_otherPackage));
    QVERIFY(QFile::exists(m_otherPackage + ".sigs"));
    QCOMPARE(outcome("signStateLabel"), QString());
    QCOMPARE(disabledButtons(), QStringList());
}

void tst_SignDialogActions::signaturesInTheirGroupsViews_data()
{
    QTest::addColumn<QString>("dump");
    QTest::addColumn<QStringList>("developerSignatures");
    QTest::addColumn<QString>("developerSummary");
    QTest::addColumn<QStringList>("clientSignatures");

    const QString developer = block("developer", "developer");
    const QString client = block("client", "client");
    const QString markup = block("<b>ACME<br>Group: client<!--", "developer");
    const QString longSubject = QString("Long Company Name ").repeated(20);
    const QString longSigner = block(longSubject, "developer");
    const QString longWord = block(QString("x").repeated(400), "client");
    const QString noGroup = "Subject: CN=anonymous\nKey ID: 01\n";
    const QString otherGroup = block("tester", "qa");
    QTest::newRow("text before the first signature, client signature first")
        << "/work/hello.rpm:\nsigned twice\n" + client + developer << QStringList{developer}
        << summary("developer", "developer") << QStringList{client};
    QTest::newRow("other group or none, subject in mid line")
        << "x " + otherGroup + noGroup << QStringList{otherGroup, noGroup}
        << summary("tester", "qa") + "Subject: CN=anonymous\n"
        << QStringList();
    QTest::newRow("markup in the subject")
        << markup << QStringList{markup} << summary("<b>ACME<br>Group: client<!--", "developer")
        << QStringList();
    QTest::newRow("long subjects, more signers than the summary holds")
        << longSigner.repeated(4) + longWord
        << QStringList{longSigner, longSigner, longSigner, longSigner}
        << summary(longSubject, "developer").repeated(4) << QStringList{longWord};
}

// Every signature is shown in its group's view as plain text, each summary names each signer of
// its view (on six lines at most, the whole in its tool tip), and the dialog keeps its size.
void tst_SignDialogActions::signaturesInTheirGroupsViews()
{
    QFETCH(QString, dump);
    QFETCH(QStringList, developerSignatures);
    QFETCH(QString, developerSummary);
    QFETCH(QStringList, clientSignatures);
    const QSize size = m_dialog->size();
    steer("dump.txt", dump.toUtf8());
    m_driver->press("dumpPushButton");

    QCOMPARE(m_driver->widget<QTextBrowser>("developerSignatureTextBrowser")->toPlainText(),
             developerSignatures.join('\n'));
    QCOMPARE(m_driver->summary("developerSignatureShortLabel"), developerSummary);
    QTextBrowser *client = m_driver->widget<QTextBrowser>("clientSignatureTextBrowser");
    m_driver->showTabOf(client);
    QCOMPARE(client->isVisible(), !clientSignatures.isEmpty());
    QCOMPARE(client->toPlainText(), clientSignatures.join('\n'));
    QString clientSummary = clientSignatures.value(0).section('\n', 0, 1);
    QCOMPARE(m_driver->summary("clientSignatureShortLabel"),
             clientSummary.isEmpty() ? clientSummary : clientSummary + '\n');
    for (const char *summary : {"developerSignatureShortLabel", "clientSignatureShortLabel"})
        QVERIFY(m_driver->widget<QLabel>(summary)->text().count('\n') < 6);
    m_dialog->layout()->activate();
    QCoreApplication::processEvents();
    QCOMPARE(m_dialog->size(), size);
    if (QTest::currentDataTag()
        == QLatin1String("long subjects, more signers than the summary holds"))
        QVERIFY(m_driver->render("long-subjects"));
}

// openssl makes the key file before it asks for the pass phrase; the next try must not take
// what is left there for a key.
void tst_SignDialogActions::cancelledPassPhraseRemovesTheKeyItStarted()
{
    const QString key = inWorkspace("prompted-key.pem");
    const QString request = inWorkspace("prompted.csr");
    QFile::remove(key);
    m_driver->fillGeneration("Acme", key, request);
    m_driver->widget<QCheckBox>("generationKeyEncryptCheckBox")->setChecked(true);
    steer("prompt");

    PassPhraseAnswerer answerer({PassPhraseAnswerer::cancel()});
    m_driver->press("genReqButton");

    QCOMPARE(answerer.prompts(), QStringList("Enter PEM pass phrase:"));
    QCOMPARE(outcome("generateLabel"), QString("broken"));
    QCOMPARE(m_driver->statusMessage(),
             QString("Failed to generate request: The pass phrase prompt was cancelled."));
    QVERIFY(!QFile::exists(key));
    QVERIFY(!QFile::exists(request));
    QCOMPARE(disabledButtons(), QStringList());

    QFile::remove(m_container.filePath("prompt"));
    m_driver->press("genReqButton");
    QCOMPARE(outcome("generateLabel"), QString("ok"));
    QCOMPARE(calls().filter(QRegularExpression("^openssl genpkey ")).size(), 2);
    QVERIFY(QFile::exists(request));
}

// Restored when the dialog opens, stored when it goes; a stored position that the list does not
// have stands for its first entry.
void tst_SignDialogActions::generationChoicesRestoredAndStored()
{
    m_dialog.reset();
    QSettings().remove(algorithmKey);
    QSettings().remove(encryptKey);
    const auto opened = [](int clickedAlgorithm = -1) {
        SignDialog dialog(nullptr);
        const DialogDriver driver(&dialog);
        const auto algorithms = driver.widget<QComboBox>("generationKeyAlgoComboBox");
        const auto encrypt = driver.widget<QCheckBox>("generationKeyEncryptCheckBox");
        const QPair<int, bool> choices(algorithms->currentIndex(), encrypt->isChecked());
        if (clickedAlgorithm >= 0) {
            algorithms->setCurrentIndex(clickedAlgorithm);
            QTest::mouseClick(encrypt, Qt::LeftButton, {}, QPoint(4, encrypt->height() / 2));
        }
        return choices;
    };
    // Without stored settings: RSA, encrypted.
    QCOMPARE(opened(1), qMakePair(0, true));
    QCOMPARE(opened(), qMakePair(1, false));
    for (const int stored : {7, -1}) {
        QSettings().setValue(algorithmKey, stored);
        QCOMPARE(opened().first, 0);
    }
}

QTEST_MAIN(tst_SignDialogActions)

#include "tst_signdialogactions.moc"
