#include "dialogdriver.h"
#include "signdialogharness.h"

#include "signdialog.h"

#include "../common/testide.h"
#include "../common/testsdk.h"

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
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QTextBrowser>
#include <QTimer>

#include <functional>
#include <iterator>
#include <memory>

using Quillmark::Internal::SignDialog;

namespace {

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

    void restoredPackageRunsNothingLaterChangesVerifyThenDump();
    void nothingRunsWithoutPackageOrOnReturn();
    void addSignature_data();
    void addSignature();
    void failedSigningShowsBrokenAndPassesMissingPaths();
    void removeSignatureAfterTwo();
    void buttonsDisabledWhileRunning_data();
    void buttonsDisabledWhileRunning();
    void packageChosenWhileBusyIsLookedAtAfterwards();
    void dumpText_data();
    void dumpText();
    void withoutBuildContainer();
    void generationMessages();
    void generationKey_data();
    void generationKey();
    void cancelledPassPhraseLeavesDialogUsable();

private:
    void makeDialog();
    void chooseKeys(bool clientKey, bool clientCertificate) const;
    void pressWhileHeld(const char *buttonName, const std::function<void()> &probe) const;
    bool showsOk(const char *labelName) const;
    bool showsBroken(const char *labelName) const;
    QStringList disabledButtons() const;

    std::unique_ptr<SignDialogHarness> m_harness;
    std::unique_ptr<TestSdk> m_sdk;
    std::unique_ptr<TestIde> m_ide;
    std::unique_ptr<SignDialog> m_dialog;
    std::unique_ptr<DialogDriver> m_driver;
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
    m_sdk = std::make_unique<TestSdk>(QStringList{m_harness->runCommand()});
    QVERIFY(m_sdk->isValid());
    m_ide = std::make_unique<TestIde>(m_sdk->path());

    m_package = m_harness->writeFile("hello-1.0-1.noarch.rpm", "rpm");
    m_otherPackage = m_harness->writeFile("other-2.0-1.noarch.rpm", "rpm");
    m_developerKey = m_harness->writeFile("developer-key.pem", "key");
    m_developerCertificate = m_harness->writeFile("developer.pem", "developer");
    m_clientKey = m_harness->writeFile("client-key.pem", "key");
    m_clientCertificate = m_harness->writeFile("client.pem", "client");
}

void tst_SignDialogActions::init()
{
    for (const char *key : historyKeys)
        Utils::HistoryCompleter(key).clearHistory();
    for (const QString &file : {m_package, m_otherPackage})
        QFile::remove(file + ".sigs");
    for (const QString &file : {"hold", "release"})
        QFile::remove(m_harness->filePath(file));
    m_harness->clearDumpText();
    m_harness->clearOpensslFailure();
    m_harness->setPrompting(false);
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
    m_sdk.reset();
}

void tst_SignDialogActions::makeDialog()
{
    m_driver.reset();
    m_dialog = std::make_unique<SignDialog>(nullptr);
    m_dialog->show();
    m_driver = std::make_unique<DialogDriver>(m_dialog.get());
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

void tst_SignDialogActions::restoredPackageRunsNothingLaterChangesVerifyThenDump()
{
    Utils::HistoryCompleter(historyKeys[0]).addEntry(m_package);
    makeDialog();
    QCOMPARE(m_driver->chooser("rpmPathChooser")->filePath().toString(), m_package);
    QCOMPARE(m_harness->calls(), QStringList());

    m_driver->choose("rpmPathChooser", m_otherPackage);
    QCOMPARE(m_harness->calls(),
             QStringList({"pkgseal verify " + m_otherPackage, "pkgseal dump " + m_otherPackage}));
    m_driver->choose("rpmPathChooser", m_package);
    QCOMPARE(m_harness->calls().mid(2),
             QStringList({"pkgseal verify " + m_package, "pkgseal dump " + m_package}));
    QCOMPARE(m_driver->label("verifyLabel")->text(), QString("Could not verify signatures"));

    // Emptying the path clears the verdict and keeps the views.
    m_driver->choose("rpmPathChooser", QString());
    QCOMPARE(m_harness->calls().size(), 4);
    QVERIFY(m_driver->label("verifyLabel")->text().isEmpty());
    QVERIFY(DialogDriver::showsNoPixmap(m_driver->label("verifyIconLabel")));
    QCOMPARE(m_driver->browser("developerSignatureTextBrowser")->toPlainText(),
             QString("No signatures found in package"));
}

void tst_SignDialogActions::nothingRunsWithoutPackageOrOnReturn()
{
    chooseKeys(true, true);
    for (const char *button : actionButtons) {
        if (qstrcmp(button, "genReqButton") != 0)
            m_driver->press(button);
    }
    QCOMPARE(m_harness->calls(), QStringList());
    QVERIFY(DialogDriver::showsNoPixmap(m_driver->label("signStateLabel")));
    QVERIFY(m_driver->label("verifyLabel")->text().isEmpty());
    QVERIFY(m_driver->browser("developerSignatureTextBrowser")->toPlainText().isEmpty());

    // Return in any field starts nothing either.
    m_driver->choose("rpmPathChooser", m_package);
    m_driver->fillGeneration("Acme",
                             m_harness->filePath("return-key.pem"),
                             m_harness->filePath("r.csr"));
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

void tst_SignDialogActions::addSignature_data()
{
    QTest::addColumn<bool>("clientKey");
    QTest::addColumn<bool>("clientCertificate");
    QTest::newRow("developer and client") << true << true;
    QTest::newRow("client key only") << true << false;
    QTest::newRow("client certificate only") << false << true;
    QTest::newRow("developer only") << false << false;
}

void tst_SignDialogActions::addSignature()
{
    QFETCH(bool, clientKey);
    QFETCH(bool, clientCertificate);
    m_driver->choose("rpmPathChooser", m_package);
    chooseKeys(clientKey, clientCertificate);
    m_harness->clearCalls();

    m_driver->press("addSignaturePushButton");

    const bool twice = clientKey && clientCertificate;
    QStringList expected = {"pkgseal sign -k " + m_developerKey + " -c " + m_developerCertificate
                            + ' ' + m_package};
    if (twice)
        expected << "pkgseal sign -k " + m_clientKey + " -c " + m_clientCertificate + ' '
                        + m_package;
    expected << "pkgseal verify " + m_package << "pkgseal dump " + m_package;
    QCOMPARE(m_harness->calls(), expected);

    QVERIFY(showsOk("signStateLabel"));
    QVERIFY(m_driver->label("signStateLabel")->text().isEmpty());
    QCOMPARE(m_driver->label("verifyLabel")->text(), QString("Signatures successfully verified"));
    QVERIFY(showsOk("verifyIconLabel"));
    QCOMPARE(m_driver->browser("developerSignatureTextBrowser")->toPlainText(),
             block("developer", "developer"));
    QCOMPARE(m_driver->label("developerSignatureShortLabel")->text(),
             summary("developer", "developer"));

    QTextBrowser *clientView = m_driver->browser("clientSignatureTextBrowser");
    m_driver->showTabOf(clientView);
    QCOMPARE(clientView->isVisible(), twice);
    QCOMPARE(clientView->toPlainText(), twice ? block("client", "client") : QString());
    QCOMPARE(m_driver->label("clientSignatureShortLabel")->text(),
             twice ? summary("client", "client") : QString());
    if (twice)
        QVERIFY(m_driver->render("verify-signed"));
}

void tst_SignDialogActions::failedSigningShowsBrokenAndPassesMissingPaths()
{
    m_driver->choose("rpmPathChooser", m_package);
    chooseKeys(true, true);
    const QString missingKey = m_harness->filePath("no-such-key.pem");
    m_driver->choose("developerKeyPathChooser", missingKey);
    m_harness->clearCalls();

    m_driver->press("addSignaturePushButton");

    QCOMPARE(m_harness->calls(),
             QStringList({"pkgseal sign -k " + missingKey + " -c " + m_developerCertificate + ' '
                              + m_package,
                          "pkgseal verify " + m_package,
                          "pkgseal dump " + m_package}));
    QVERIFY(showsBroken("signStateLabel"));
    QVERIFY(showsBroken("verifyIconLabel"));
    QCOMPARE(m_driver->label("developerSignatureShortLabel")->text(),
             QString("No signatures found in package"));
}

void tst_SignDialogActions::removeSignatureAfterTwo()
{
    m_driver->choose("rpmPathChooser", m_package);
    chooseKeys(true, true);
    m_driver->press("addSignaturePushButton");
    QVERIFY(!m_driver->browser("clientSignatureTextBrowser")->isHidden());
    m_harness->clearCalls();

    m_driver->press("removeSignaturePushButton");

    QCOMPARE(m_harness->calls(),
             QStringList({"pkgseal delete " + m_package,
                          "pkgseal verify " + m_package,
                          "pkgseal dump " + m_package}));
    const QString none = "No signatures found in package";
    QCOMPARE(m_driver->browser("developerSignatureTextBrowser")->toPlainText(), none);
    QCOMPARE(m_driver->label("developerSignatureShortLabel")->text(), none);
    QTextBrowser *clientView = m_driver->browser("clientSignatureTextBrowser");
    m_driver->showTabOf(clientView);
    QVERIFY(clientView->isVisible());
    QVERIFY(clientView->toPlainText().isEmpty());
    QVERIFY(m_driver->label("clientSignatureShortLabel")->text().isEmpty());
    QCOMPARE(m_driver->label("verifyLabel")->text(), QString("Could not verify signatures"));
    QVERIFY(showsBroken("verifyIconLabel"));
    QVERIFY(showsOk("signStateLabel"));
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
    m_driver->choose("rpmPathChooser", m_package);
    chooseKeys(false, false);
    m_driver->fillGeneration("Acme",
                             m_harness->filePath("new-key.pem"),
                             m_harness->filePath("new.csr"));

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
    m_driver->choose("rpmPathChooser", m_package);
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
    QCoreApplication::processEvents();
    QCOMPARE(callsWhileRunning, 1);
    QVERIFY(buttonsStayedDisabled);
    QCOMPARE(m_harness->calls(),
             QStringList({"pkgseal dump " + m_package,
                          "pkgseal verify " + m_otherPackage,
                          "pkgseal dump " + m_otherPackage}));

    // Signing goes on to the package now chosen, without looking at it twice.
    m_harness->clearCalls();
    pressWhileHeld("addSignaturePushButton", [&] { m_driver->choose("rpmPathChooser", m_package); });
    QCoreApplication::processEvents();
    QCOMPARE(m_harness->calls(),
             QStringList({"pkgseal sign -k " + m_developerKey + " -c " + m_developerCertificate
                              + ' ' + m_otherPackage,
                          "pkgseal verify " + m_package,
                          "pkgseal dump " + m_package}));
    QCOMPARE(disabledButtons(), QStringList());
}

void tst_SignDialogActions::dumpText_data()
{
    QTest::addColumn<QString>("dump");
    QTest::addColumn<QString>("developerView");
    QTest::addColumn<QString>("clientView");
    QTest::addColumn<bool>("clientShown");

    const QString first = block("first", "developer");
    const QString second = block("second", "client");
    const QString third = block("third", "client");
    QTest::newRow("text before the first signature")
        << "/work/hello.rpm:\nsigned twice\n" + first + second << first << second << true;
    QTest::newRow("three signatures show two") << first + second + third << first << second << true;
    QTest::newRow("one signature") << "/work/hello.rpm:\n" + first << first << QString() << false;
    QTest::newRow("subject in mid line")
        << QString("x Subject: CN=a\nGroup: developer\n")
        << QString("Subject: CN=a\nGroup: developer\n") << QString() << false;
}

void tst_SignDialogActions::dumpText()
{
    QFETCH(QString, dump);
    QFETCH(QString, developerView);
    QFETCH(QString, clientView);
    QFETCH(bool, clientShown);
    m_harness->setDumpText(dump.toUtf8());
    m_driver->choose("rpmPathChooser", m_package);

    QCOMPARE(m_driver->browser("developerSignatureTextBrowser")->toPlainText(), developerView);
    QTextBrowser *client = m_driver->browser("clientSignatureTextBrowser");
    m_driver->showTabOf(client);
    QCOMPARE(client->isVisible(), clientShown);
    QCOMPARE(client->toPlainText(), clientView);
    QVERIFY(!m_driver->label("developerSignatureShortLabel")->text().contains("third"));
    QVERIFY(!m_driver->label("clientSignatureShortLabel")->text().contains("third"));
    QCOMPARE(m_driver->label("clientSignatureShortLabel")->text().isEmpty(), !clientShown);
}

void tst_SignDialogActions::withoutBuildContainer()
{
    m_sdk->setRunCommands({});
    QVERIFY(m_sdk->save());
    m_driver->fillGeneration("Acme", m_harness->filePath("key.pem"), m_harness->filePath("req.csr"));
    chooseKeys(true, true);

    m_driver->choose("rpmPathChooser", m_package);
    QCOMPARE(m_driver->label("verifyLabel")->text(), QString("Could not verify signatures"));
    QVERIFY(showsBroken("verifyIconLabel"));
    QCOMPARE(m_driver->browser("developerSignatureTextBrowser")->toPlainText(),
             QString("No signatures found in package"));
    m_driver->press("addSignaturePushButton");
    QVERIFY(showsBroken("signStateLabel"));
    m_driver->press("genReqButton");
    QVERIFY(showsBroken("generateLabel"));
    QCOMPARE(m_driver->statusMessage(), QString("Failed to generate request: "));
    QCOMPARE(disabledButtons(), QStringList());

    m_sdk->setRunCommands({m_harness->runCommand()});
    QVERIFY(m_sdk->save());
    QCOMPARE(m_harness->calls(), QStringList());
}

void tst_SignDialogActions::generationMessages()
{
    const QString key = m_harness->filePath("ordered-key.pem");
    m_driver->press("genReqButton");
    QCOMPARE(m_driver->statusMessage(), QString("Company name field cannot be empty"));
    QVERIFY(showsBroken("generateLabel"));

    m_driver->widget<QLineEdit>("generateCompanyNameLineEdit")->setText("Acme");
    m_driver->press("genReqButton");
    QCOMPARE(m_driver->statusMessage(), QString("Key field cannot be empty"));

    m_driver->choose("generatedKeyPathChooser", key);
    m_driver->press("genReqButton");
    QCOMPARE(m_driver->statusMessage(), QString("Request field cannot be empty"));
    QCOMPARE(m_harness->calls(), QStringList());

    // The tool's output is shown until the next press; a name of blanks passes as it stands.
    m_driver->fillGeneration("  ", key, m_harness->filePath("ordered.csr"));
    m_harness->setOpensslFailure("openssl says no");
    m_driver->press("genReqButton");
    QCOMPARE(m_driver->statusMessage(), QString("Failed to generate request: openssl says no"));
    QVERIFY(showsBroken("generateLabel"));

    m_harness->clearOpensslFailure();
    m_harness->clearCalls();
    m_driver->press("genReqButton");
    QCOMPARE(m_driver->statusMessage(), QString());
    QVERIFY(showsOk("generateLabel"));
    QCOMPARE(m_harness->calls().size(), 2);
}

void tst_SignDialogActions::generationKey_data()
{
    QTest::addColumn<int>("algorithm");
    QTest::addColumn<bool>("encrypt");
    QTest::addColumn<QString>("keyCommand");
    const QString rsa = "openssl genpkey --algorithm rsa -pkeyopt rsa_keygen_bits:2048 -out %1";
    const QString gost
        = "openssl genpkey -engine gost -algorithm gost2012_256 -pkeyopt paramset:A -out %1";
    QTest::newRow("existing key") << 1 << true << QString();
    QTest::newRow("rsa") << 0 << false << rsa;
    QTest::newRow("rsa encrypted") << 0 << true << rsa + " -aes256";
    QTest::newRow("gost") << 1 << false << gost;
    QTest::newRow("gost encrypted") << 1 << true << gost + " -aes256";
}

void tst_SignDialogActions::generationKey()
{
    QFETCH(int, algorithm);
    QFETCH(bool, encrypt);
    QFETCH(QString, keyCommand);
    const bool existing = keyCommand.isEmpty();
    const QString key = m_harness->filePath(
        QString("key-%1.pem").arg(QString(QTest::currentDataTag()).replace(' ', '-')));
    QFile::remove(key);
    if (existing)
        m_harness->writeFile(QFileInfo(key).fileName(), "MY OWN KEY");
    const QString request = m_harness->filePath("new.csr");
    QFile::remove(request);
    m_driver->fillGeneration("Acme Ltd", key, request);
    m_driver->chooseGenerationOptions(algorithm, encrypt);

    m_driver->press("genReqButton");

    const QStringList calls = m_harness->calls();
    QCOMPARE(calls.size(), existing ? 1 : 2);
    if (!existing)
        QCOMPARE(calls.first(), keyCommand.arg(key));
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

void tst_SignDialogActions::cancelledPassPhraseLeavesDialogUsable()
{
    const QString key = m_harness->filePath("prompted-key.pem");
    const QString request = m_harness->filePath("prompted.csr");
    QFile::remove(key);
    m_driver->fillGeneration("Acme", key, request);
    m_driver->widget<QCheckBox>("generationKeyEncryptCheckBox")->setChecked(true);
    m_harness->setPrompting(true);

    QString prompt;
    QTimer answerer;
    answerer.setInterval(5);
    connect(&answerer, &QTimer::timeout, [&] {
        auto dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        answerer.stop();
        for (const QLabel *label : dialog->findChildren<QLabel *>())
            prompt += label->text();
        dialog->reject();
    });
    answerer.start();
    m_driver->press("genReqButton");
    answerer.stop();

    QVERIFY2(prompt.contains("Enter PEM pass phrase:"), qPrintable(prompt));
    QVERIFY(showsBroken("generateLabel"));
    QVERIFY(m_driver->statusMessage().startsWith("Failed to generate request: "));
    QVERIFY(!QFile::exists(request));
    QCOMPARE(m_harness->calls().size(), 1);
    QCOMPARE(disabledButtons(), QStringList());
}

QTEST_MAIN(tst_SignDialogActions)

#include "tst_signdialogactions.moc"
