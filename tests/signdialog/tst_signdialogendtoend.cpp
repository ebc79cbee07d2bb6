#include "dialogdriver.h"

#include "signdialog.h"

#include "../common/testide.h"
#include "../common/testsdk.h"

#include <utils/pathchooser.h>
#include <utils/utilsicons.h>

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBrowser>

#include <memory>

using Quillmark::Internal::SignDialog;

namespace {

// Tool runs in the sandbox end within this, even on a loaded machine.
const int deadline = 120000;

const char specText[] = R"(Name: sealtest
Version: 1.0
Release: 1
Summary: Package for signing tests
License: MIT
BuildArch: noarch

%description
Package for signing tests.

%install
mkdir -p %{buildroot}/usr/share/sealtest
echo hello > %{buildroot}/usr/share/sealtest/hello.txt

%files
/usr/share/sealtest/hello.txt
)";

bool copyFile(const QString &source, const QString &target)
{
    QFile::remove(target);
    return QFile::copy(source, target);
}

// Runs a program on the host; returns whether it succeeded, with its standard output.
bool runHostTool(const QString &program, const QStringList &arguments, QString *output = nullptr)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit
        || process.exitCode() != 0) {
        return false;
    }
    if (output)
        *output = QString::fromUtf8(process.readAllStandardOutput()).trimmed();
    return true;
}

} // namespace

class tst_SignDialogEndToEnd : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();

    void signVerifyDumpRemove();

private:
    QString workspaceFile(const QString &name) const;
    QString buildPackage() const;
    void choosePackage(const QString &package) const;
    void chooseKeys(const QString &developerKey,
                    const QString &developerCertificate,
                    const QString &clientKey = QString(),
                    const QString &clientCertificate = QString()) const;

    QTemporaryDir m_dir;
    QString m_sdk;
    QString m_workspace;
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
    m_workspace = m_sdk + "/workspace";
    QVERIFY(QDir().mkpath(workspaceFile("keys")));
    for (const QString &file :
         {"keys/client-key.pem", "keys/client-cert.pem", "ca/root-ca.pem", "ca/other-ca.pem"}) {
        const QString target = workspaceFile("keys/" + QFileInfo(file).fileName());
        QVERIFY2(copyFile(m_sdk + '/' + file, target), qPrintable(file));
    }
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

QString tst_SignDialogEndToEnd::workspaceFile(const QString &name) const
{
    return m_workspace + '/' + name;
}

QString tst_SignDialogEndToEnd::buildPackage() const
{
    const QString specPath = workspaceFile("sealtest.spec");
    QFile file(specPath);
    if (!file.open(QIODevice::WriteOnly) || file.write(specText) < 0)
        return QString();
    file.close();
    const QString topDir = workspaceFile("rpmbuild");
    QProcess rpmbuild;
    rpmbuild.start("rpmbuild", {"-bb", "--define", "_topdir " + topDir, specPath});
    if (!rpmbuild.waitForFinished(300000) || rpmbuild.exitCode() != 0) {
        qWarning("%s", rpmbuild.readAllStandardError().constData());
        return QString();
    }
    return topDir + "/RPMS/noarch/sealtest-1.0-1.noarch.rpm";
}

// Chooses the package and waits until its signatures are shown.
void tst_SignDialogEndToEnd::choosePackage(const QString &package) const
{
    m_driver->choose("rpmPathChooser", package);
    QTRY_VERIFY_WITH_TIMEOUT(!m_driver->browser("developerSignatureTextBrowser")
                                  ->toPlainText()
                                  .isEmpty(),
                             deadline);
}

void tst_SignDialogEndToEnd::chooseKeys(const QString &developerKey,
                                        const QString &developerCertificate,
                                        const QString &clientKey,
                                        const QString &clientCertificate) const
{
    m_driver->choose("developerKeyPathChooser", developerKey);
    m_driver->choose("developerCertificatePathChooser", developerCertificate);
    m_driver->choose("clientKeyPathChooser", clientKey);
    m_driver->choose("clientCertificatePathChooser", clientCertificate);
}

// Signed by the engine's default developer key, then by a developer pair from the SDK's keys
// folder and a client pair from the workspace: all three signatures are shown, each in its
// group's view, and the dialog keeps its width.
void tst_SignDialogEndToEnd::signVerifyDumpRemove()
{
    const QSize size = m_dialog->size();
    m_driver->choose("caCertificatePathChooser", "/etc/keys/public/root-ca-bundle.pem");
    QVERIFY(m_driver->chooser("caCertificatePathChooser")->isValid());
    choosePackage(m_package);
    QCOMPARE(m_driver->browser("developerSignatureTextBrowser")->toPlainText(),
             QString("No signatures found in package"));
    chooseKeys("/etc/keys/public/developer-key-release.pem",
               "/etc/keys/public/developer-regular-release-cert.pem");
    m_driver->press("addSignaturePushButton");
    QCOMPARE(m_driver->statusMessage(), QString());
    // The SDK's own keys folder, outside the workspace, is shared with the container, read only.
    chooseKeys(m_sdk + "/keys/developer-key.pem",
               m_sdk + "/keys/developer-cert.pem",
               workspaceFile("keys/client-key.pem"),
               workspaceFile("keys/client-cert.pem"));

    m_driver->press("addSignaturePushButton");

    const QPixmap ok = Utils::Icons::OK.pixmap();
    QVERIFY(DialogDriver::showsPixmap(m_driver->label("signStateLabel"), ok));
    QCOMPARE(m_driver->label("verifyLabel")->text(), QString("Signatures successfully verified"));
    QVERIFY(DialogDriver::showsPixmap(m_driver->label("verifyIconLabel"), ok));
    const QString developer = m_driver->browser("developerSignatureTextBrowser")->toPlainText();
    const QString client = m_driver->browser("clientSignatureTextBrowser")->toPlainText();
    QCOMPARE(developer.count("Group: developer\n"), 2);
    QVERIFY2(developer.contains("CN = Kelvara Engine Release")
                 && developer.contains("CN = Demo Developer") && !developer.contains("client"),
             qPrintable(developer));
    QVERIFY2(client.startsWith("Subject") && client.contains("CN = Demo Client")
                 && client.count("Subject") == 1 && client.contains("Group: client\n"),
             qPrintable(client));
    const QString developerSummary = m_driver->summary("developerSignatureShortLabel");
    QCOMPARE(developerSummary.count('\n'), 4);
    QVERIFY2(developerSummary.contains("Kelvara Engine Release")
                 && developerSummary.contains("Demo Developer"),
             qPrintable(developerSummary));
    QVERIFY(m_driver->summary("clientSignatureShortLabel").endsWith("Group: client\n"));
    m_driver->showTabOf(m_driver->browser("clientSignatureTextBrowser"));
    QVERIFY(m_driver->browser("clientSignatureTextBrowser")->isVisible());
    QCOMPARE(m_dialog->size(), size);
    QVERIFY(m_driver->render("three-signatures"));

    m_driver->choose("caCertificatePathChooser", workspaceFile("keys/other-ca.pem"));
    m_driver->press("verifySignaturePushButton");
    QCOMPARE(m_driver->label("verifyLabel")->text(), QString("Could not verify signatures"));
    QVERIFY(DialogDriver::showsPixmap(m_driver->label("verifyIconLabel"),
                                      Utils::Icons::BROKEN.pixmap()));
    QVERIFY(DialogDriver::shownToolTip(m_driver->label("verifyIconLabel")).startsWith("pkgseal: "));

    m_driver->press("removeSignaturePushButton");

    QCOMPARE(m_driver->browser("developerSignatureTextBrowser")->toPlainText(),
             QString("No signatures found in package"));
    QVERIFY(m_driver->browser("clientSignatureTextBrowser")->toPlainText().isEmpty());
    QCOMPARE(m_driver->label("verifyLabel")->text(), QString("Could not verify signatures"));
    // What rpm itself says about the package after the signature has gone.
    QString name;
    QVERIFY(runHostTool("rpm", {"-qp", "--qf", "%{NAME}", m_package}, &name));
    QCOMPARE(name, QString("sealtest"));
}

QTEST_MAIN(tst_SignDialogEndToEnd)

#include "tst_signdialogendtoend.moc"
