#include "dialogdriver.h"

#include "signdialog.h"

#include "../common/testide.h"
#include "../common/testsdk.h"

#include <utils/utilsicons.h>

#include <QFile>
#include <QLabel>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBrowser>

using Quillmark::Internal::SignDialog;

// Tool runs in the sandbox end within this, even on a loaded machine.
static const int deadline = 120000;

class tst_SignDialogEndToEnd : public QObject
{
    Q_OBJECT

private slots:
    void signVerifyDumpRemove();
};

// The example project's package, built in the workspace, which the container shares.
static QString buildPackage(const QString &sdk)
{
    const QString topDir = sdk + "/workspace/rpmbuild";
    QProcess rpmbuild;
    rpmbuild.start("rpmbuild",
                   {"-bb",
                    "--define",
                    "_topdir " + topDir,
                    qEnvironmentVariable("QUILLMARK_SOURCE_DIR") + "/examples/hello/hello.spec"});
    if (!rpmbuild.waitForFinished(300000) || rpmbuild.exitCode() != 0)
        qWarning("%s", rpmbuild.readAllStandardError().constData());
    return topDir + "/RPMS/noarch/hello-1.0-1.noarch.rpm";
}

// Signed by a developer and a client pair from the SDK's keys folder (shared with the container,
// read only): each signature is shown in its group's view; a root CA that signed neither fails the
// verification, and removing the signatures leaves none.
void tst_SignDialogEndToEnd::signVerifyDumpRemove()
{
    for (const char *tool : {"pkgseal", "kelvara-run", "kelvara-sdk"}) {
        if (!QFile::exists(TestIde::binDir() + '/' + tool))
            QSKIP(qPrintable(QString("%1 is not built").arg(tool)));
    }
    QTemporaryDir dir;
    QString error;
    const QString sdk = TestSdk::createDemo(dir.filePath("sdk"), &error);
    QVERIFY2(!sdk.isEmpty(), qPrintable(error));
    const QString package = buildPackage(sdk);
    QVERIFY(QFile::exists(package));
    const TestIde ide(sdk);
    SignDialog dialog(nullptr);
    dialog.show();
    const DialogDriver driver(&dialog);
    QTextBrowser *developerView = driver.widget<QTextBrowser>("developerSignatureTextBrowser");
    QTextBrowser *clientView = driver.widget<QTextBrowser>("clientSignatureTextBrowser");
    driver.choose("caCertificatePathChooser", "/etc/keys/public/root-ca-bundle.pem");
    driver.choose("rpmPathChooser", package);
    QTRY_COMPARE_WITH_TIMEOUT(developerView->toPlainText(),
                              QString("No signatures found in package"),
                              deadline);
    for (const QString pair : {"developer", "client"}) {
        driver.choose(qPrintable(pair + "KeyPathChooser"), sdk + "/keys/" + pair + "-key.pem");
        driver.choose(qPrintable(pair + "CertificatePathChooser"),
                      sdk + "/keys/" + pair + "-cert.pem");
    }

    driver.press("addSignaturePushButton");

    QVERIFY(DialogDriver::showsPixmap(driver.widget<QLabel>("signStateLabel"),
                                      Utils::Icons::OK.pixmap()));
    QCOMPARE(driver.widget<QLabel>("verifyLabel")->text(),
             QString("Signatures successfully verified"));
    for (const QString group : {"developer", "client"}) {
        const QString shown
            = driver.widget<QTextBrowser>(qPrintable(group + "SignatureTextBrowser"))->toPlainText();
        QVERIFY2(shown.startsWith("Subject") && shown.count("Subject") == 1
                     && shown.contains("CN = Demo " + group, Qt::CaseInsensitive)
                     && shown.contains("Group: " + group + '\n'),
                 qPrintable(shown));
    }
    QVERIFY(driver.render("two-groups"));

    driver.choose("caCertificatePathChooser", sdk + "/ca/other-ca.pem");
    driver.press("verifySignaturePushButton");
    QCOMPARE(driver.widget<QLabel>("verifyLabel")->text(), QString("Could not verify signatures"));

    driver.press("removeSignaturePushButton");

    QCOMPARE(developerView->toPlainText(), QString("No signatures found in package"));
    QVERIFY(clientView->isHidden());
}

QTEST_MAIN(tst_SignDialogEndToEnd)

#include "tst_signdialogendtoend.moc"
