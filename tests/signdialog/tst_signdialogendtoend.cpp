#include "dialogdriver.h"

#include "signdialog.h"

#include "../common/testide.h"
#include "../common/testsdk.h"

#include <utils/pathchooser.h>
#include <utils/utilsicons.h>

#include <QFile>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBrowser>

#include <memory>

using Quillmark::Internal::SignDialog;

// Tool runs in the sandbox end within this, even on a loaded machine.
static const int deadline = 120000;

class tst_SignDialogEndToEnd : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();

    void signVerifyDumpRemove();

private:
    QString buildPackage() const;

    QTemporaryDir m_dir;
    QString m_sdk;
    QString m_package;
    std::unique_ptr<TestIde> m_ide;
    std::unique_ptr<SignDialog> m_dialog;
    std::unique_ptr<DialogDriver> m_driver;
};

void tst_SignDialogEndToEnd::initTestCase()
{
    for (const char *tool : {"pkgseal", "kelvara-run", "kelvara-sdk"}) {
        if (!QFile::exists(TestIde::binDir() + '/' + tool))
            QSKIP(qPrintable(QString("%1 is not built").arg(tool)));
    }
    QVERIFY(m_dir.isValid());
    QString error;
    m_sdk = TestSdk::createDemo(m_dir.filePath("sdk"), &error);
    QVERIFY2(!m_sdk.isEmpty(), qPrintable(error));
    m_package = buildPackage();
    QVERIFY(QFile::exists(m_package));

    m_ide = std::make_unique<TestIde>(m_sdk);
    m_dialog = std::make_unique<SignDialog>(nullptr);
    m_dialog->show();
    m_driver = std::make_unique<DialogDriver>(m_dialog.get());
}

void tst_SignDialogEndToEnd::cleanupTestCase()
{
    m_driver.reset();
    m_dialog.reset();
    m_ide.reset();
}

// The example project's package, built in the workspace, which the container shares.
QString tst_SignDialogEndToEnd::buildPackage() const
{
    const QString topDir = m_sdk + "/workspace/rpmbuild";
    QProcess rpmbuild;
    rpmbuild.start("rpmbuild",
                   {"-bb",
                    "--define",
                    "_topdir " + topDir,
                    qEnvironmentVariable("QUILLMARK_SOURCE_DIR") + "/examples/hello/hello.spec"});
    if (!rpmbuild.waitForFinished(300000) || rpmbuild.exitCode() != 0) {
        qWarning("%s", rpmbuild.readAllStandardError().constData());
        return QString();
    }
    return topDir + "/RPMS/noarch/hello-1.0-1.noarch.rpm";
}

// Signed by the engine's default developer key, then by a developer and a client pair from the
// SDK's keys folder (shared with the container, read only): all three signatures are shown,
// each in its group's view, and the dialog keeps its size; a root CA that signed none of them
// fails the verification, and removing the signatures leaves none.
void tst_SignDialogEndToEnd::signVerifyDumpRemove()
{
    const QSize size = m_dialog->size();
    QTextBrowser *developerView = m_driver->widget<QTextBrowser>("developerSignatureTextBrowser");
    QTextBrowser *clientView = m_driver->widget<QTextBrowser>("clientSignatureTextBrowser");
    m_driver->choose("caCertificatePathChooser", "/etc/keys/public/root-ca-bundle.pem");
    m_driver->choose("rpmPathChooser", m_package);
    QTRY_COMPARE_WITH_TIMEOUT(developerView->toPlainText(),
                              QString("No signatures found in package"),
                              deadline);
    m_driver->choose("developerKeyPathChooser", "/etc/keys/public/developer-key-release.pem");
    m_driver->choose("developerCertificatePathChooser",
                     "/etc/keys/public/developer-regular-release-cert.pem");
    m_driver->press("addSignaturePushButton");
    QCOMPARE(m_driver->statusMessage(), QString());
    for (const QString pair : {"developer", "client"}) {
        m_driver->choose(qPrintable(pair + "KeyPathChooser"), m_sdk + "/keys/" + pair + "-key.pem");
        m_driver->choose(qPrintable(pair + "CertificatePathChooser"),
                         m_sdk + "/keys/" + pair + "-cert.pem");
    }

    m_driver->press("addSignaturePushButton");

    const QPixmap ok = Utils::Icons::OK.pixmap();
    QVERIFY(DialogDriver::showsPixmap(m_driver->widget<QLabel>("signStateLabel"), ok));
    QCOMPARE(m_driver->widget<QLabel>("verifyLabel")->text(),
             QString("Signatures successfully verified"));
    const QString developer = developerView->toPlainText();
    const QString client = clientView->toPlainText();
    QVERIFY2(developer.count("Group: developer\n") == 2
                 && developer.contains("CN = Kelvara Engine Release")
                 && developer.contains("CN = Demo Developer") && !developer.contains("client"),
             qPrintable(developer));
    QVERIFY2(client.startsWith("Subject") && client.contains("CN = Demo Client")
                 && client.count("Subject") == 1 && client.contains("Group: client\n"),
             qPrintable(client));
    m_driver->showTabOf(clientView);
    QVERIFY(clientView->isVisible());
    QCOMPARE(m_dialog->size(), size);
    QVERIFY(m_driver->render("three-signatures"));

    m_driver->choose("caCertificatePathChooser", m_sdk + "/ca/other-ca.pem");
    m_driver->press("verifySignaturePushButton");
    QCOMPARE(m_driver->widget<QLabel>("verifyLabel")->text(),
             QString("Could not verify signatures"));
    QVERIFY(DialogDriver::shownToolTip(m_driver->widget<QLabel>("verifyIconLabel"))
                .startsWith("pkgseal: "));

    m_driver->press("removeSignaturePushButton");

    QCOMPARE(developerView->toPlainText(), QString("No signatures found in package"));
    QVERIFY(clientView->isHidden());
    QVERIFY(m_driver->summary("clientSignatureShortLabel").isEmpty());
}

QTEST_MAIN(tst_SignDialogEndToEnd)

#include "tst_signdialogendtoend.moc"
