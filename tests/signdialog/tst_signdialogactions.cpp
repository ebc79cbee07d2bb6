#include "dialogdriver.h"
#include "passphraseanswerer.h"
#include "signdialogharness.h"

#include "signdialog.h"

#include "../common/testide.h"
#include "../common/testsdk.h"

#include <coreplugin/fileutils.h>
#include <utils/historycompleter.h>
#include <utils/pathchooser.h>
#include <utils/utilsicons.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSettings>
#include <QSignalSpy>
#include <QTabWidget>
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
// Tool runs end within this, even on a loaded machine.
const int deadline = 30000;

const char *const actionButtons[] = {"addSignaturePushButton",
                                     "removeSignaturePushButton",
                                     "dumpPushButton",
                                     "verifySignaturePushButton",
                                     "genReqButton"};
const char *const choosers[] = {"rpmPathChooser",
                                "developerKeyPathChooser",
                                "developerCertificatePathChooser",
                                "clientKeyPathChooser",
                                "clientCertificatePathChooser",
                                "caCertificatePathChooser",
                                "generatedKeyPathChooser",
                                "generatedReqPathChooser"};
const char *const historyKeys[] = {"KamRpmSign.Data.Completer.RpmPackage",
                                   "KamRpmSign.Data.Completer.DeveloperKey",
                                   "KamRpmSign.Data.Completer.DeveloperCertificate",
                                   "KamRpmSign.Data.Completer.ClientKey",
                                   "KamRpmSign.Data.Completer.ClientCertificate",
                                   "KamRpmSign.Data.Completer.CaCertificate",
                                   "KamRpmSign.Data.Completer.GeneratedKey",
                                   "KamRpmSign.Data.Completer.GeneratedCsr"};

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
    void nothingRunsWithoutPackageOrOnReturn();
    void addAndRemoveSignatures();
    void pathsTheToolCannotUseAreRefused_data();
    void pathsTheToolCannotUseAreRefused();
    void failuresShowTheToolsReason_data();
    void failuresShowTheToolsReason();
    void outcomesClearedWhenTheirInputsChange_data();
    void outcomesClearedWhenTheirInputsChange();
    void buttonsDisabledWhileRunning_data();
    void buttonsDisabledWhileRunning();
    void packageChosenWhileBusyIsLookedAtAfterwards();
    void dumpText_data();
    void dumpText();
    void generationMessages();
    void generationKey_data();
    void generationKey();
    void cancelledPassPhraseRemovesTheKeyItStarted();
    void generationChoicesRestoredAndStored();
    void pathsTheToolsCanReach_data();
    void pathsTheToolsCanReach();
    void regularKeysLinkRevealsRegularKey();

private:
    void makeDialog();
    void choosePackage(const QString &package) const;
    void chooseKeys(bool clientKey, bool clientCertificate) const;
    void pressWhileHeld(const char *buttonName, const std::function<void()> &probe) const;
    bool showsOk(const char *labelName) const;
    bool showsBroken(const char *labelName) const;
    QStringList disabledButtons() const;
    QString sharedFolders() const;

    std::unique_ptr<SignDialogHarness> m_harness;
    std::unique_ptr<TestIde> m_ide;
    std::unique_ptr<SignDialog> m_dialog;
    std::unique_ptr<DialogDriver> m_driver;
    QString m_sharedFolder;
    QString m_package;
    QString m_otherPackage;
    QString m_developerKey;
    QString m_developerCertificate;
    QString m_clientKey;
    QString m_clientCertificate;
};

void tst_SignDialogActions::initTestCase()
{
    m_harness = std::make_unique<SignDialogHarness>();
    QVERIFY(m_harness->isValid());
    m_sharedFolder = m_harness->sdk().path() + "/second-shared";
    QVERIFY(QDir().mkpath(m_sharedFolder));
    m_harness->sdk().addEngine("second", m_sharedFolder);
    QVERIFY(m_harness->sdk().save());
    m_ide = std::make_unique<TestIde>(m_harness->sdk().path());

    m_package = m_harness->writeWorkspaceFile("hello-1.0-1.noarch.rpm", "rpm");
    m_otherPackage = m_harness->writeWorkspaceFile("other-2.0-1.noarch.rpm", "rpm");
    m_developerKey = m_harness->writeWorkspaceFile("developer-key.pem", "key");
    m_developerCertificate = m_harness->writeWorkspaceFile("developer.pem", "developer");
    m_clientKey = m_harness->writeWorkspaceFile("client-key.pem", "key");
    m_clientCertificate = m_harness->writeWorkspaceFile("client.pem", "client");
}

void tst_SignDialogActions::init()
{
    for (const char *key : historyKeys)
        Utils::HistoryCompleter(key).clearHistory();
    for (const QString &file : {m_package, m_otherPackage})
        QFile::remove(file + ".sigs");
    m_harness->reset();
    makeDialog();
    m_harness->clearCalls();
}

void tst_SignDialogActions::cleanup()
{
    m_driver.reset();
    m_dialog.reset();
}

void tst_SignDialogActions::cleanupTestCase()
{
    m_ide.reset();
    m_harness.reset();
}

void tst_SignDialogActions::makeDialog()
{
    m_driver.reset();
    m_dialog = std::make_unique<SignDialog>(nullptr);
    m_dialog->show();
    m_driver = std::make_unique<DialogDriver>(m_dialog.get());
}

// Chooses the package and waits until the dialog has looked at it.
void tst_SignDialogActions::choosePackage(const QString &package) const
{
    const int callsBefore = m_harness->calls().size();
    m_driver->choose("rpmPathChooser", package);
    QTRY_COMPARE_WITH_TIMEOUT(m_harness->calls().mid(callsBefore),
                              QStringList({"pkgseal verify " + package, "pkgseal dump " + package}),
                              deadline);
}

void tst_SignDialogActions::chooseKeys(bool clientKey, bool clientCertificate) const
{
    m_driver->choose("developerKeyPathChooser", m_developerKey);
    m_driver->choose("developerCertificatePathChooser", m_developerCertificate);
    m_driver->choose("clientKeyPathChooser", clientKey ? m_clientKey : QString());
    m_driver->choose("clientCertificatePathChooser",
                     clientCertificate ? m_clientCertificate : QString());
}

// Presses the button with the next tool run held in the container; the probe runs from the
// event loop while that run is in progress, then the run is let go.
void tst_SignDialogActions::pressWhileHeld(const char *buttonName,
                                           const std::function<void()> &probe) const
{
    bool probed = false;
    QTimer timer;
    timer.setInterval(5);
    connect(&timer, &QTimer::timeout, [&] {
        if (!m_harness->heldCallStarted())
            return;
        timer.stop();
        probe();
        probed = true;
        m_harness->release();
    });
    m_harness->holdNextCall();
    timer.start();
    m_driver->press(buttonName);
    timer.stop();
    QVERIFY2(probed, buttonName);
}

bool tst_SignDialogActions::showsOk(const char *labelName) const
{
    return DialogDriver::showsPixmap(m_driver->label(labelName), Utils::Icons::OK.pixmap());
}

bool tst_SignDialogActions::showsBroken(const char *labelName) const
{
    return DialogDriver::showsPixmap(m_driver->label(labelName), Utils::Icons::BROKEN.pixmap());
}

QStringList tst_SignDialogActions::disabledButtons() const
{
    QStringList disabled;
    for (const char *name : actionButtons) {
        if (!m_driver->button(name)->isEnabled())
            disabled << name;
    }
    return disabled;
}

QString tst_SignDialogActions::sharedFolders() const
{
    return QDir::toNativeSeparators(m_harness->sdk().workspacePath() + ", " + m_sharedFolder);
}

void tst_SignDialogActions::packageLookedAtOnceItsPathSettles()
{
    Utils::HistoryCompleter(historyKeys[0]).addEntry(m_package);
    makeDialog();
    QCOMPARE(m_driver->chooser("rpmPathChooser")->filePath().toString(), m_package);

    // Typed key by key, the path is looked at once, when it names the package.
    m_driver->type("rpmPathChooser", m_otherPackage);
    QTRY_COMPARE_WITH_TIMEOUT(m_harness->calls(),
                              QStringList({"pkgseal verify " + m_otherPackage,
                                           "pkgseal dump " + m_otherPackage}),
                              deadline);
    choosePackage(m_package);
    QCOMPARE(m_driver->label("verifyLabel")->text(), QString("Could not verify signatures"));
    QCOMPARE(m_driver->summary("developerSignatureShortLabel"),
             QString("No signatures found in package"));

    // Emptying the path clears the verdict and the summaries.
    m_driver->choose("rpmPathChooser", QString());
    QVERIFY(m_driver->label("verifyLabel")->text().isEmpty());
    QVERIFY(DialogDriver::showsNoPixmap(m_driver->label("verifyIconLabel")));
    QVERIFY(m_driver->summary("developerSignatureShortLabel").isEmpty());
    QVERIFY(m_driver->browser("developerSignatureTextBrowser")->toPlainText().isEmpty());
    QCOMPARE(m_harness->calls().size(), 4);
}

void tst_SignDialogActions::nothingRunsWithoutPackageOrOnReturn()
{
    chooseKeys(true, true);
    for (const char *button : actionButtons) {
        if (qstrcmp(button, "genReqButton") == 0)
            continue;
        m_driver->press(button);
        QCOMPARE(m_driver->statusMessage(), QString("RPM package field cannot be empty"));
    }
    QCOMPARE(m_harness->calls(), QStringList());
    QVERIFY(showsBroken("signStateLabel"));
    QVERIFY(m_driver->label("verifyLabel")->text().isEmpty());
    QVERIFY(m_driver->browser("developerSignatureTextBrowser")->toPlainText().isEmpty());

    // Return in any field starts nothing either.
    choosePackage(m_package);
    m_driver->fillGeneration("Acme",
                             m_harness->inWorkspace("return-key.pem"),
                             m_harness->inWorkspace("r.csr"));
    m_harness->clearCalls();

    // A file dialog opened by mistake is closed again and counted.
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
    for (const char *name : choosers) {
        QLineEdit *field = m_driver->chooser(name)->lineEdit();
        m_driver->showTabOf(field);
        field->setFocus();
        QTest::keyClick(field, Qt::Key_Return);
    }
    QLineEdit *company = m_driver->widget<QLineEdit>("generateCompanyNameLineEdit");
    m_driver->showTabOf(company);
    QTest::keyClick(company, Qt::Key_Return);
    QCoreApplication::processEvents();
    closer.stop();

    QCOMPARE(opened, QStringList());
    QCOMPARE(m_harness->calls(), QStringList());
    QVERIFY(m_dialog->isVisible());
}

// Signed with both pairs, the package is looked at again and each signature shown in its view;
// without its signatures, it is looked at again too.
void tst_SignDialogActions::addAndRemoveSignatures()
{
    choosePackage(m_package);
    chooseKeys(true, true);
    m_harness->clearCalls();

    m_driver->press("addSignaturePushButton");

    QCOMPARE(m_harness->calls(),
             QStringList(
                 {"pkgseal sign -k " + m_developerKey + " -c " + m_developerCertificate + ' '
                      + m_package,
                  "pkgseal sign -k " + m_clientKey + " -c " + m_clientCertificate + ' ' + m_package,
                  "pkgseal verify " + m_package,
                  "pkgseal dump " + m_package}));

    QVERIFY(showsOk("signStateLabel"));
    QVERIFY(m_driver->label("signStateLabel")->text().isEmpty());
    QCOMPARE(m_driver->statusMessage(), QString());
    QCOMPARE(m_driver->label("verifyLabel")->text(), QString("Signatures successfully verified"));
    QVERIFY(showsOk("verifyIconLabel"));
    QCOMPARE(m_driver->browser("developerSignatureTextBrowser")->toPlainText(),
             block("developer", "developer"));
    QCOMPARE(m_driver->summary("developerSignatureShortLabel"), summary("developer", "developer"));

    QTextBrowser *clientView = m_driver->browser("clientSignatureTextBrowser");
    m_driver->showTabOf(clientView);
    QVERIFY(clientView->isVisible());
    QCOMPARE(clientView->toPlainText(), block("client", "client"));
    QCOMPARE(m_driver->summary("clientSignatureShortLabel"), summary("client", "client"));

    m_harness->clearCalls();
    m_driver->press("removeSignaturePushButton");

    QCOMPARE(m_harness->calls(),
             QStringList({"pkgseal delete " + m_package,
                          "pkgseal verify " + m_package,
                          "pkgseal dump " + m_package}));
    const QString none = "No signatures found in package";
    QCOMPARE(m_driver->browser("developerSignatureTextBrowser")->toPlainText(), none);
    QCOMPARE(m_driver->summary("developerSignatureShortLabel"), none);
    QVERIFY(clientView->isHidden());
    QVERIFY(m_driver->summary("clientSignatureShortLabel").isEmpty());
    QCOMPARE(m_driver->label("verifyLabel")->text(), QString("Could not verify signatures"));
    QVERIFY(showsOk("signStateLabel"));
}

void tst_SignDialogActions::pathsTheToolCannotUseAreRefused_data()
{
    QTest::addColumn<QString>("chooser");
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("outcomeLabel");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("problem");

    // Paths under /outside/ stand for files beside the run command, which the container does
    // not share; %1 is the shared folder.
    const QString cannotRead = "Outside the build engine's shared folder %1, the signing tool "
                               "cannot read it.";
    const QString cannotWrite = "Outside the build engine's shared folder %1, the signing tool "
                                "cannot write it.";
    QTest::newRow("missing developer key") << "developerKeyPathChooser"
                                           << "missing-key.pem"
                                           << "addSignaturePushButton"
                                           << "signStateLabel"
                                           << "Developer key"
                                           << "File does not exist";
    QTest::newRow("package outside")
        << "rpmPathChooser"
        << "/outside/hello-1.0-1.noarch.rpm"
        << "removeSignaturePushButton" << QString() << "RPM package" << cannotRead;
    QTest::newRow("CA certificate outside") << "caCertificatePathChooser"
                                            << "/outside/ca.pem"
                                            << "verifySignaturePushButton"
                                            << "verifyIconLabel"
                                            << "CA certificate" << cannotRead;
    QTest::newRow("request outside") << "generatedReqPathChooser"
                                     << "/outside/new.csr"
                                     << "genReqButton"
                                     << "generateLabel"
                                     << "Request" << cannotWrite;
}

// The chooser says why before anything runs, and its action says so instead of running.
void tst_SignDialogActions::pathsTheToolCannotUseAreRefused()
{
    QFETCH(QString, chooser);
    QFETCH(QString, path);
    QFETCH(QString, button);
    QFETCH(QString, outcomeLabel);
    QFETCH(QString, field);
    QFETCH(QString, problem);
    const QString file = path.startsWith("/outside/")
                             ? m_harness->writeFile(QFileInfo(path).fileName(), "x")
                             : m_harness->inWorkspace(path);
    problem = problem.arg(sharedFolders());
    choosePackage(m_package);
    chooseKeys(true, true);
    m_driver->fillGeneration("Acme",
                             m_harness->inWorkspace("refused-key.pem"),
                             m_harness->inWorkspace("refused.csr"));
    m_driver->choose(qPrintable(chooser), file);
    m_harness->clearCalls();

    Utils::PathChooser *refused = m_driver->chooser(qPrintable(chooser));
    QVERIFY(!refused->isValid());
    QCOMPARE(refused->errorMessage(), problem);
    QCOMPARE(DialogDriver::shownToolTip(refused->lineEdit()), problem);

    m_driver->press(qPrintable(button));

    QCOMPARE(m_driver->statusMessage(), field + ": " + problem);
    if (!outcomeLabel.isEmpty()) {
        QVERIFY(showsBroken(qPrintable(outcomeLabel)));
        QCOMPARE(DialogDriver::shownToolTip(m_driver->label(qPrintable(outcomeLabel))),
                 field + ": " + problem);
    }
    QCOMPARE(m_harness->calls(), QStringList());
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

// The reason is the tool's, shown as it wrote it (markup and all), where the outcome is shown.
void tst_SignDialogActions::failuresShowTheToolsReason()
{
    QFETCH(QString, button);
    QFETCH(QString, failingCommand);
    QFETCH(QString, outcomeLabel);
    QFETCH(QString, statusMessage);
    const QString reason = "pkgseal: " + QString(QTest::currentDataTag())
                           + ": <b>key</b> does not belong to its certificate\nsecond line";
    const QString key = m_harness->writeWorkspaceFile("own-key.pem", "MY OWN KEY");
    choosePackage(m_package);
    chooseKeys(true, true);
    m_driver->fillGeneration("Acme", key, m_harness->inWorkspace("failing.csr"));
    m_harness->setFailure(failingCommand, reason.toUtf8());
    m_harness->clearCalls();

    m_driver->press(qPrintable(button));

    const QRegularExpression failingRun('^' + QRegularExpression::escape(failingCommand) + ' ');
    QCOMPARE(m_harness->calls().filter(failingRun).size(), 1);
    QCOMPARE(m_driver->statusMessage(),
             statusMessage.isEmpty() ? QString() : statusMessage.arg(reason.simplified()));
    if (!outcomeLabel.isEmpty()) {
        QVERIFY(showsBroken(qPrintable(outcomeLabel)));
        QCOMPARE(DialogDriver::shownToolTip(m_driver->label(qPrintable(outcomeLabel))), reason);
    }
    if (failingCommand == "pkgseal verify") {
        QCOMPARE(m_driver->label("verifyLabel")->text(), QString("Could not verify signatures"));
        QCOMPARE(DialogDriver::shownToolTip(m_driver->label("verifyLabel")), reason);
    }
    if (failingCommand == "pkgseal dump") {
        QCOMPARE(m_driver->browser("developerSignatureTextBrowser")->toPlainText(), reason);
        QCOMPARE(m_driver->summary("developerSignatureShortLabel"), reason);
    }
    QFile keyFile(key);
    QVERIFY(keyFile.open(QIODevice::ReadOnly));
    QCOMPARE(keyFile.readAll(), QByteArray("MY OWN KEY"));
    if (failingCommand == "pkgseal sign")
        QVERIFY(m_driver->render("failure-reason"));
}

void tst_SignDialogActions::outcomesClearedWhenTheirInputsChange_data()
{
    QTest::addColumn<QString>("input");
    QTest::addColumn<QStringList>("cleared");
    const QStringList sign{"signStateLabel"};
    const QStringList verdict{"verifyIconLabel"};
    const QStringList generation{"generateLabel"};
    QTest::newRow("package") << "rpmPathChooser"
                             << QStringList{"signStateLabel", "verifyIconLabel"};
    QTest::newRow("developer key") << "developerKeyPathChooser" << sign;
    QTest::newRow("client certificate") << "clientCertificatePathChooser" << sign;
    QTest::newRow("CA certificate") << "caCertificatePathChooser" << verdict;
    QTest::newRow("key to generate") << "generatedKeyPathChooser" << generation;
    QTest::newRow("company name") << "generateCompanyNameLineEdit" << generation;
    QTest::newRow("algorithm") << "generationKeyAlgoComboBox" << generation;
    QTest::newRow("encryption") << "generationKeyEncryptCheckBox" << generation;
}

void tst_SignDialogActions::outcomesClearedWhenTheirInputsChange()
{
    QFETCH(QString, input);
    QFETCH(QStringList, cleared);
    choosePackage(m_package);
    chooseKeys(true, true);
    m_driver->choose("caCertificatePathChooser", m_developerCertificate);
    m_driver->fillGeneration("Acme",
                             m_harness->inWorkspace("outcome-key.pem"),
                             m_harness->inWorkspace("outcome.csr"));
    m_driver->press("addSignaturePushButton");
    m_driver->press("genReqButton");
    const QStringList outcomes{"signStateLabel", "verifyIconLabel", "generateLabel"};
    for (const QString &outcome : outcomes)
        QVERIFY2(showsOk(qPrintable(outcome)), qPrintable(outcome));

    QWidget *changed = m_driver->widget<QWidget>(qPrintable(input));
    if (auto chooser = qobject_cast<Utils::PathChooser *>(changed))
        chooser->setPath(chooser->filePath().toString() == m_otherPackage ? m_package
                                                                          : m_otherPackage);
    else if (auto lineEdit = qobject_cast<QLineEdit *>(changed))
        lineEdit->setText("Other Ltd");
    else if (auto comboBox = qobject_cast<QComboBox *>(changed))
        comboBox->setCurrentIndex(1 - comboBox->currentIndex());
    else if (auto checkBox = qobject_cast<QCheckBox *>(changed))
        checkBox->toggle();

    for (const QString &outcome : outcomes) {
        QVERIFY2(DialogDriver::showsNoPixmap(m_driver->label(qPrintable(outcome)))
                     == cleared.contains(outcome),
                 qPrintable(outcome));
    }
    if (cleared.contains("verifyIconLabel"))
        QVERIFY(m_driver->label("verifyLabel")->text().isEmpty());
}

void tst_SignDialogActions::buttonsDisabledWhileRunning_data()
{
    QTest::addColumn<QString>("button");
    for (const char *button : actionButtons)
        QTest::newRow(button) << QString(button);
}

void tst_SignDialogActions::buttonsDisabledWhileRunning()
{
    QFETCH(QString, button);
    choosePackage(m_package);
    chooseKeys(false, false);
    m_driver->fillGeneration("Acme",
                             m_harness->inWorkspace("new-key.pem"),
                             m_harness->inWorkspace("new.csr"));

    QStringList disabledButtonsWhileRunning;
    QStringList disabledWhileRunning;
    pressWhileHeld(qPrintable(button), [&] {
        disabledButtonsWhileRunning = disabledButtons();
        for (const char *name : choosers) {
            if (!m_driver->chooser(name)->isEnabled())
                disabledWhileRunning << name;
        }
        for (const char *name : {"generateCompanyNameLineEdit",
                                 "generationKeyAlgoComboBox",
                                 "generationKeyEncryptCheckBox"}) {
            if (!m_driver->widget<QWidget>(name)->isEnabled())
                disabledWhileRunning << name;
        }
    });
    QCOMPARE(disabledButtonsWhileRunning.size(), int(std::size(actionButtons)));
    QCOMPARE(disabledWhileRunning, QStringList());
    QCOMPARE(disabledButtons(), QStringList());
}

void tst_SignDialogActions::packageChosenWhileBusyIsLookedAtAfterwards()
{
    choosePackage(m_package);
    chooseKeys(false, false);
    m_harness->clearCalls();

    // A new package chosen during a dump is verified and dumped once the dump has ended.
    int callsWhileRunning = -1;
    bool buttonsStayedDisabled = false;
    pressWhileHeld("dumpPushButton", [&] {
        m_driver->choose("rpmPathChooser", m_otherPackage);
        callsWhileRunning = m_harness->calls().size();
        buttonsStayedDisabled = !m_driver->button("dumpPushButton")->isEnabled();
    });
    QTRY_COMPARE_WITH_TIMEOUT(m_harness->calls(),
                              QStringList({"pkgseal dump " + m_package,
                                           "pkgseal verify " + m_otherPackage,
                                           "pkgseal dump " + m_otherPackage}),
                              deadline);
    QCOMPARE(callsWhileRunning, 1);
    QVERIFY(buttonsStayedDisabled);

    // Signing goes on to the package it began with; its outcome is not shown beside the package
    // now chosen, which is looked at once.
    m_harness->clearCalls();
    pressWhileHeld("addSignaturePushButton", [&] { m_driver->choose("rpmPathChooser", m_package); });
    QTRY_COMPARE_WITH_TIMEOUT(m_harness->calls(),
                              QStringList({"pkgseal sign -k " + m_developerKey + " -c "
                                               + m_developerCertificate + ' ' + m_otherPackage,
                                           "pkgseal verify " + m_package,
                                           "pkgseal dump " + m_package}),
                              deadline);
    QVERIFY(DialogDriver::showsNoPixmap(m_driver->label("signStateLabel")));
    QCOMPARE(disabledButtons(), QStringList());
}

void tst_SignDialogActions::dumpText_data()
{
    QTest::addColumn<QString>("dump");
    QTest::addColumn<QStringList>("developerSignatures");
    QTest::addColumn<QStringList>("clientSignatures");

    const QString developer = block("developer", "developer");
    const QString engine = block("engine", "developer");
    const QString client = block("client", "client");
    const QString markup = block("<b>ACME<br>Group: client<!--", "developer");
    const QString longSubject = block(QString("Long Company Name ").repeated(20), "developer");
    const QString longWord = block(QString("x").repeated(400), "client");
    const QString noGroup = "Subject: CN=anonymous\nKey ID: 01\n";
    const QString otherGroup = block("tester", "qa");
    QTest::newRow("text before the first signature")
        << "/work/hello.rpm:\nsigned twice\n" + developer + client << QStringList{developer}
        << QStringList{client};
    QTest::newRow("three signatures, each in its group's view")
        << engine + developer + client << QStringList{engine, developer} << QStringList{client};
    QTest::newRow("client signature first")
        << client + developer << QStringList{developer} << QStringList{client};
    QTest::newRow("other group or none")
        << otherGroup + noGroup << QStringList{otherGroup, noGroup} << QStringList();
    QTest::newRow("subject in mid line")
        << QString("x Subject: CN=a\nGroup: developer\n")
        << QStringList{"Subject: CN=a\nGroup: developer\n"} << QStringList();
    QTest::newRow("markup in the subject") << markup << QStringList{markup} << QStringList();
    QTest::newRow("more signers than the summary holds")
        << engine + developer + engine + developer
        << QStringList{engine, developer, engine, developer} << QStringList();
    QTest::newRow("long subjects")
        << longSubject + longWord << QStringList{longSubject} << QStringList{longWord};
}

// Every signature is shown in its group's view as plain text, each summary names each signer of
// its view (on six lines at most, the whole in its tool tip), and the dialog keeps its size.
void tst_SignDialogActions::dumpText()
{
    QFETCH(QString, dump);
    QFETCH(QStringList, developerSignatures);
    QFETCH(QStringList, clientSignatures);
    const auto summaries = [](const QStringList &signatures) {
        QString text;
        for (const QString &signature : signatures)
            text += SignDialog::shortSignature(signature);
        return text;
    };
    const QSize size = m_dialog->size();
    m_harness->setDumpText(dump.toUtf8());
    choosePackage(m_package);

    QCOMPARE(m_driver->browser("developerSignatureTextBrowser")->toPlainText(),
             developerSignatures.join('\n'));
    QCOMPARE(m_driver->summary("developerSignatureShortLabel"), summaries(developerSignatures));
    QTextBrowser *client = m_driver->browser("clientSignatureTextBrowser");
    m_driver->showTabOf(client);
    QCOMPARE(client->isVisible(), !clientSignatures.isEmpty());
    QCOMPARE(client->toPlainText(), clientSignatures.join('\n'));
    QCOMPARE(m_driver->summary("clientSignatureShortLabel"), summaries(clientSignatures));
    for (const char *summary : {"developerSignatureShortLabel", "clientSignatureShortLabel"})
        QVERIFY(m_driver->label(summary)->text().count('\n') < 6);
    m_dialog->layout()->activate();
    QCoreApplication::processEvents();
    QCOMPARE(m_dialog->size(), size);
    if (QTest::currentDataTag() == QLatin1String("long subjects"))
        QVERIFY(m_driver->render("long-subjects"));
}

void tst_SignDialogActions::generationMessages()
{
    const QString key = m_harness->inWorkspace("ordered-key.pem");
    QFile::remove(key);
    m_driver->press("genReqButton");
    QCOMPARE(m_driver->statusMessage(), QString("Company name field cannot be empty"));
    QVERIFY(showsBroken("generateLabel"));

    // Blanks are no name.
    m_driver->widget<QLineEdit>("generateCompanyNameLineEdit")->setText(" \t ");
    m_driver->press("genReqButton");
    QCOMPARE(m_driver->statusMessage(), QString("Company name field cannot be empty"));

    m_driver->widget<QLineEdit>("generateCompanyNameLineEdit")->setText("Acme");
    m_driver->press("genReqButton");
    QCOMPARE(m_driver->statusMessage(), QString("Key field cannot be empty"));

    m_driver->choose("generatedKeyPathChooser", key);
    m_driver->press("genReqButton");
    QCOMPARE(m_driver->statusMessage(), QString("Request field cannot be empty"));
    QCOMPARE(m_harness->calls(), QStringList());

    // The tool's reason, without openssl's progress marks, is shown on its tab only; a failed key
    // generation leaves no key behind.
    const QString request = m_harness->inWorkspace("ordered.csr");
    m_driver->fillGeneration("  Acme  ", key, request);
    m_harness->setFailure("openssl genpkey", "..+++++\n.+\nVerify failure\nbad password read\n");
    m_driver->press("genReqButton");
    QCOMPARE(m_driver->statusMessage(),
             QString("Failed to generate request: Verify failure bad password read"));
    QVERIFY(showsBroken("generateLabel"));
    QVERIFY(!QFile::exists(key));
    m_driver->showTabOf(m_driver->button("addSignaturePushButton"));
    QCOMPARE(m_driver->statusMessage(), QString());

    // The name goes into the request as typed.
    m_harness->reset();
    m_harness->clearCalls();
    m_driver->press("genReqButton");
    QCOMPARE(m_driver->statusMessage(), QString());
    QVERIFY(showsOk("generateLabel"));
    QCOMPARE(m_harness->calls().size(), 2);
    QFile requestFile(request);
    QVERIFY(requestFile.open(QIODevice::ReadOnly));
    QVERIFY(requestFile.readAll().contains("CN = \"  Acme  \""));
}

void tst_SignDialogActions::generationKey_data()
{
    QTest::addColumn<int>("algorithm");
    QTest::addColumn<bool>("encrypt");
    QTest::addColumn<QString>("keyCommand");
    QTest::addColumn<bool>("typedRelative");
    QTest::newRow("existing key") << 1 << true << QString() << false;
    // The tools run in the workspace: the key there is the one to use, not to overwrite.
    QTest::newRow("existing key relative to the workspace") << 0 << false << QString() << true;
    QTest::newRow("rsa") << 0 << false << "openssl genpkey --algorithm rsa .* -out %1$" << false;
    QTest::newRow("gost encrypted")
        << 1 << true << "openssl genpkey .* gost2012_256 .* -out %1 -aes256$" << false;
}

void tst_SignDialogActions::generationKey()
{
    QFETCH(int, algorithm);
    QFETCH(bool, encrypt);
    QFETCH(QString, keyCommand);
    QFETCH(bool, typedRelative);
    const bool existing = keyCommand.isEmpty();
    const QString keyName = QString("key-%1.pem")
                                .arg(QString(QTest::currentDataTag()).replace(' ', '-'));
    const QString key = m_harness->inWorkspace(keyName);
    QFile::remove(key);
    if (existing)
        m_harness->writeWorkspaceFile(keyName, "MY OWN KEY");
    const QString request = m_harness->inWorkspace("new.csr");
    QFile::remove(request);
    m_driver->fillGeneration("Acme Ltd", typedRelative ? keyName : key, request);
    m_driver->chooseGenerationOptions(algorithm, encrypt);

    m_driver->press("genReqButton");

    const QStringList calls = m_harness->calls();
    QCOMPARE(calls.size(), existing ? 1 : 2);
    if (!existing) {
        QVERIFY2(QRegularExpression(keyCommand.arg(key)).match(calls.first()).hasMatch(),
                 qPrintable(calls.first()));
    }
    QVERIFY2(calls.last().startsWith("openssl req -new -utf8 -batch -config "),
             qPrintable(calls.last()));
    QVERIFY(calls.last().endsWith(" -key " + key + " -out " + request));
    QFile keyFile(key);
    QVERIFY(keyFile.open(QIODevice::ReadOnly));
    if (existing)
        QCOMPARE(keyFile.readAll(), QByteArray("MY OWN KEY"));
    QFile requestFile(request);
    QVERIFY(requestFile.open(QIODevice::ReadOnly));
    QVERIFY(requestFile.readAll().contains("CN = Acme Ltd"));
    QVERIFY(showsOk("generateLabel"));
    QCOMPARE(m_driver->statusMessage(), QString());
}

// openssl makes the key file before it asks for the pass phrase; the next try must not take
// what is left there for a key.
void tst_SignDialogActions::cancelledPassPhraseRemovesTheKeyItStarted()
{
    const QString key = m_harness->inWorkspace("prompted-key.pem");
    const QString request = m_harness->inWorkspace("prompted.csr");
    QFile::remove(key);
    m_driver->fillGeneration("Acme", key, request);
    m_driver->widget<QCheckBox>("generationKeyEncryptCheckBox")->setChecked(true);
    m_harness->setPrompting(true);

    PassPhraseAnswerer answerer({PassPhraseAnswerer::cancel()});
    m_driver->press("genReqButton");

    QCOMPARE(answerer.prompts(), QStringList("Enter PEM pass phrase:"));
    QVERIFY(showsBroken("generateLabel"));
    QCOMPARE(m_driver->statusMessage(),
             QString("Failed to generate request: The pass phrase prompt was cancelled."));
    QVERIFY(!QFile::exists(key));
    QVERIFY(!QFile::exists(request));
    QCOMPARE(m_harness->calls().size(), 1);
    QCOMPARE(disabledButtons(), QStringList());

    m_harness->setPrompting(false);
    m_driver->press("genReqButton");
    QVERIFY(showsOk("generateLabel"));
    QCOMPARE(m_harness->calls().size(), 3);
    QVERIFY(m_harness->calls().at(1).startsWith("openssl genpkey "));
    QVERIFY(QFile::exists(request));
}

void tst_SignDialogActions::generationChoicesRestoredAndStored()
{
    {
        QSettings settings;
        settings.remove(algorithmKey);
        settings.remove(encryptKey);
    }
    {
        // Without stored settings: RSA, encrypted.
        SignDialog dialog(nullptr);
        const DialogDriver driver(&dialog);
        const auto algorithms = driver.widget<QComboBox>("generationKeyAlgoComboBox");
        QCOMPARE(algorithms->currentIndex(), 0);
        QVERIFY(driver.widget<QCheckBox>("generationKeyEncryptCheckBox")->isChecked());
        algorithms->setCurrentIndex(1);
        driver.widget<QCheckBox>("generationKeyEncryptCheckBox")->setChecked(false);
    }
    {
        SignDialog dialog(nullptr);
        const DialogDriver driver(&dialog);
        const auto algorithms = driver.widget<QComboBox>("generationKeyAlgoComboBox");
        const auto encrypt = driver.widget<QCheckBox>("generationKeyEncryptCheckBox");
        QCOMPARE(algorithms->currentIndex(), 1);
        QVERIFY(!encrypt->isChecked());

        algorithms->setCurrentIndex(0);
        QTest::mouseClick(encrypt, Qt::LeftButton, {}, QPoint(4, encrypt->height() / 2));
        QVERIFY(encrypt->isChecked());
        // Nothing is stored before the dialog goes.
        QCOMPARE(QSettings().value(algorithmKey).toInt(), 1);
    }
    const QSettings settings;
    QCOMPARE(settings.value(algorithmKey).toInt(), 0);
    QCOMPARE(settings.value(encryptKey).toBool(), true);

    // A stored position that the list does not have stands for its first entry.
    for (const int stored : {7, -1}) {
        QSettings().setValue(algorithmKey, stored);
        SignDialog dialog(nullptr);
        const auto algorithms = DialogDriver(&dialog).widget<QComboBox>(
            "generationKeyAlgoComboBox");
        QCOMPARE(algorithms->currentIndex(), 0);
    }
}

void tst_SignDialogActions::pathsTheToolsCanReach_data()
{
    QTest::addColumn<QString>("objectName");
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("exists");
    QTest::addColumn<QString>("linkTarget");
    QTest::addColumn<QString>("problem");

    // A path begins with the folder it is in: "workspace", "shared" (a second engine's shared
    // folder), "sdk" (the SDK installation) or "outside" (shared with no container); or it is
    // absolute; or it is relative, from the workspace.
    const QString key = "developerKeyPathChooser";
    const QString generatedKey = "generatedKeyPathChooser";
    QTest::newRow("key in the workspace") << key << "workspace/k.pem" << true << ""
                                          << "";
    QTest::newRow("key in another engine's shared folder") << key << "shared/k.pem" << true << ""
                                                           << "";
    QTest::newRow("key in the SDK's keys folder") << key << "sdk/keys/k.pem" << true << ""
                                                  << "";
    QTest::newRow("CA in the SDK's CA folder") << "caCertificatePathChooser"
                                               << "sdk/ca/root-ca.pem" << true << ""
                                               << "";
    QTest::newRow("engine's own bundle") << "caCertificatePathChooser"
                                         << "/etc/keys/public/root-ca-bundle.pem" << false << ""
                                         << "";
    QTest::newRow("relative to the workspace") << key << "relative.pem" << true << ""
                                               << "";
    QTest::newRow("key outside") << key << "outside/k.pem" << true << ""
                                 << "read";
    QTest::newRow("key elsewhere in the SDK")
        << key << "sdk/package-signing/regular_key.pem" << true << ""
        << "read";
    QTest::newRow("link out of the workspace")
        << key << "workspace/link.pem" << true << "outside/target.pem"
        << "read";
    QTest::newRow("new key in the workspace") << generatedKey << "workspace/new.pem" << false << ""
                                              << "";
    QTest::newRow("new key outside") << generatedKey << "outside/new.pem" << false << ""
                                     << "write";
    QTest::newRow("existing key in the SDK's keys folder")
        << generatedKey << "sdk/keys/k.pem" << true << ""
        << "";
    QTest::newRow("new key in the SDK's keys folder")
        << generatedKey << "sdk/keys/new.pem" << false << ""
        << "write";
}

// The tools run in the build container, which sees the workspace and the engines' shared
// folders, the SDK's keys and CA folders (read only) and the engine's own files. (A missing file
// and the package and request outside are refused by their actions, above.)
void tst_SignDialogActions::pathsTheToolsCanReach()
{
    QFETCH(QString, objectName);
    QFETCH(QString, path);
    QFETCH(bool, exists);
    QFETCH(QString, linkTarget);
    QFETCH(QString, problem);
    const QString workspace = m_harness->sdk().workspacePath();
    const QMap<QString, QString> folders{{"workspace", workspace},
                                         {"shared", m_sharedFolder},
                                         {"sdk", m_harness->sdk().path()},
                                         {"outside", m_harness->filePath("outside")}};
    const bool relative = !QDir::isAbsolutePath(path) && !folders.contains(path.section('/', 0, 0));
    const auto hostPath = [&](const QString &path) -> QString {
        if (relative)
            return workspace + '/' + path;
        const QString folder = path.section('/', 0, 0);
        return folders.contains(folder) ? folders.value(folder) + '/' + path.section('/', 1) : path;
    };
    const QString file = hostPath(path);
    const QString target = linkTarget.isEmpty() ? file : hostPath(linkTarget);
    if (exists) {
        QVERIFY(QDir().mkpath(QFileInfo(target).absolutePath()));
        QVERIFY(QFile(target).open(QIODevice::WriteOnly));
    }
    if (!linkTarget.isEmpty()) {
        QFile::remove(file);
        QVERIFY(QFile::link(target, file));
    }

    Utils::PathChooser *chooser = m_driver->chooser(qPrintable(objectName));
    chooser->lineEdit()->setText(relative ? path : file);

    QString expected = problem;
    if (problem == "read" || problem == "write") {
        expected = QString("Outside the build engine's shared folder %1, the signing tool cannot "
                           "%2 it.")
                       .arg(sharedFolders(), problem);
    }
    QCOMPARE(chooser->errorMessage(), expected);
    QCOMPARE(chooser->isValid(), expected.isEmpty());
}

void tst_SignDialogActions::regularKeysLinkRevealsRegularKey()
{
    QLabel *label = m_driver->label("regularKeysLabel");
    const QString folder = QDir::toNativeSeparators(m_harness->sdk().path() + "/package-signing");
    QVERIFY(label->text().contains("<a href=\"" + folder + "\">"));

    // Click along the label until the link answers, as a user's pointer would find it.
    QSignalSpy activated(label, &QLabel::linkActivated);
    for (int y = 2; y < label->height() && activated.isEmpty(); y += 3) {
        for (int x = 2; x < label->width() && activated.isEmpty(); x += 4)
            QTest::mouseClick(label, Qt::LeftButton, {}, QPoint(x, y));
    }
    QCOMPARE(activated.count(), 1);
    QCOMPARE(Core::FileUtils::lastShownInGraphicalShell(),
             folder + QDir::separator() + "regular_key.pem");
}

QTEST_MAIN(tst_SignDialogActions)

#include "tst_signdialogactions.moc"
