#include "dialogdriver.h"
#include "signdialogharness.h"

#include "signdialog.h"

#include "../common/testide.h"
#include "../common/testsdk.h"

#include <coreplugin/fileutils.h>
#include <utils/historycompleter.h>
#include <utils/pathchooser.h>

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLayout>
#include <QSettings>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTabWidget>
#include <QTest>
#include <QTextBrowser>

#include <memory>

using Quillmark::Internal::SignDialog;
using Utils::PathChooser;

namespace {

const char algorithmKey[] = "KamRpmSign.History.GenerationAlgorythm";
const char encryptKey[] = "KamRpmSign.History.GenerationEncrypt";

QRect geometryIn(const QWidget *widget, const QWidget *ancestor)
{
    return QRect(widget->mapTo(ancestor, QPoint(0, 0)), widget->size());
}

} // namespace

class tst_SignDialogForm : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();

    void layout();
    void renderEachTab();
    void generationChoicesRestoredAndStored();
    void choosers_data();
    void choosers();
    void pathsTheToolsCanReach_data();
    void pathsTheToolsCanReach();
    void regularKeysLinkRevealsRegularKey();

private:
    std::unique_ptr<SignDialog> makeShownDialog() const;

    std::unique_ptr<SignDialogHarness> m_harness;
    std::unique_ptr<TestIde> m_ide;
    QString m_sharedFolder;
};

void tst_SignDialogForm::initTestCase()
{
    m_harness = std::make_unique<SignDialogHarness>();
    QVERIFY(m_harness->isValid());
    m_sharedFolder = m_harness->sdk().path() + "/second-shared";
    QVERIFY(QDir().mkpath(m_sharedFolder));
    m_harness->sdk().addEngine("second", m_sharedFolder);
    QVERIFY(m_harness->sdk().save());
    m_ide = std::make_unique<TestIde>(m_harness->sdk().path());
}

void tst_SignDialogForm::cleanupTestCase()
{
    m_ide.reset();
    m_harness.reset();
}

std::unique_ptr<SignDialog> tst_SignDialogForm::makeShownDialog() const
{
    auto dialog = std::make_unique<SignDialog>(nullptr);
    dialog->show();
    dialog->layout()->activate();
    QCoreApplication::processEvents();
    return dialog;
}

void tst_SignDialogForm::layout()
{
    const auto dialog = makeShownDialog();
    const DialogDriver driver(dialog.get());
    QCOMPARE(dialog->size(), QSize(560, 558));

    // The package area is above the tabs, the status bar below them.
    const auto tabs = driver.widget<QTabWidget>("tabWidget");
    QCOMPARE(tabs->currentIndex(), 0);
    const QRect tabsRect = geometryIn(tabs, dialog.get());
    for (const char *name : {"rpmLabel",
                             "rpmPathChooser",
                             "developerSignatureShortLabel",
                             "clientSignatureShortLabel",
                             "removeSignaturePushButton"}) {
        const QWidget *widget = driver.widget<QWidget>(name);
        QVERIFY2(widget->isVisible(), name);
        QVERIFY2(geometryIn(widget, dialog.get()).bottom() < tabsRect.top(), name);
    }
    const auto statusBar = dialog->findChild<QStatusBar *>();
    QVERIFY(statusBar && statusBar->isVisible());
    QVERIFY(geometryIn(statusBar, dialog.get()).top() > tabsRect.bottom());
    QVERIFY(dialog->rect().contains(geometryIn(statusBar, dialog.get())));

    // The target row is hidden on every tab.
    for (int index = tabs->count() - 1; index >= 0; --index) {
        tabs->setCurrentIndex(index);
        QVERIFY(!driver.label("targetLabel")->isVisible());
        QVERIFY(!driver.widget<QComboBox>("m_comboBoxBuildTargets")->isVisible());
    }

    // The two signature views are side by side, the client's on the left.
    QTextBrowser *client = driver.browser("clientSignatureTextBrowser");
    QTextBrowser *developer = driver.browser("developerSignatureTextBrowser");
    driver.showTabOf(developer);
    QVERIFY(!client->isVisible());
    QVERIFY(developer->isVisible());
    client->show();
    dialog->layout()->activate();
    const QRect clientRect = geometryIn(client, dialog.get());
    const QRect developerRect = geometryIn(developer, dialog.get());
    QVERIFY(clientRect.right() < developerRect.left());
    QCOMPARE(clientRect.top(), developerRect.top());
}

void tst_SignDialogForm::renderEachTab()
{
    const auto dialog = makeShownDialog();
    const DialogDriver driver(dialog.get());
    const auto tabs = driver.widget<QTabWidget>("tabWidget");
    const QStringList names = {"sign", "verify", "generation"};
    for (int index = 0; index < names.size(); ++index) {
        tabs->setCurrentIndex(index);
        QVERIFY(driver.render(names.at(index)));
        const QImage image(TestIde::buildDir() + "/tests/screenshots/signdialog-" + names.at(index)
                           + ".png");
        QCOMPARE(image.size(), dialog->size() * dialog->devicePixelRatioF());
        // The tab page is really painted: its area is not one flat color.
        const QImage page = image.copy(geometryIn(tabs->currentWidget(), dialog.get()));
        bool varied = false;
        for (int y = 0; y < page.height() && !varied; ++y) {
            for (int x = 0; x < page.width() && !varied; ++x)
                varied = page.pixel(x, y) != page.pixel(0, 0);
        }
        QVERIFY2(varied, qPrintable(names.at(index)));
    }
}

void tst_SignDialogForm::generationChoicesRestoredAndStored()
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
        QCOMPARE(algorithms->count(), 2);
        QCOMPARE(algorithms->currentText(), QString("RSA (2048)"));
        QCOMPARE(algorithms->itemText(1), QString("GOST R 34.10-2012 (256)"));
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
        QCOMPARE(algorithms->currentText(), QString("RSA (2048)"));
    }
}

void tst_SignDialogForm::choosers_data()
{
    QTest::addColumn<QString>("objectName");
    QTest::addColumn<QString>("historyKey");
    QTest::addColumn<QString>("placeholder");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("filter");
    QTest::addColumn<int>("kind");

    const QString pemTitle = "Select Privacy-Enhanced Mail container";
    const QString pemFilter = "Privacy-Enhanced Mail container (*.pem)";
    QTest::newRow("package") << "rpmPathChooser"
                             << "KamRpmSign.Data.Completer.RpmPackage"
                             << "Select RPM package"
                             << "Select RPM package"
                             << "RPM package (*.rpm)" << int(PathChooser::File);
    for (const QString owner : {"developer", "client"}) {
        const QString capitalized = owner.at(0).toUpper() + owner.mid(1);
        QTest::newRow(qPrintable(owner + " key"))
            << owner + "KeyPathChooser"
            << "KamRpmSign.Data.Completer." + capitalized + "Key"
            << "Select key file (*.pem)" << pemTitle << pemFilter << int(PathChooser::File);
        QTest::newRow(qPrintable(owner + " certificate"))
            << owner + "CertificatePathChooser"
            << "KamRpmSign.Data.Completer." + capitalized + "Certificate"
            << "Select certificate (*.pem)" << pemTitle << pemFilter << int(PathChooser::File);
    }
    QTest::newRow("ca certificate")
        << "caCertificatePathChooser"
        << "KamRpmSign.Data.Completer.CaCertificate"
        << "Select root certificate" << pemTitle << pemFilter << int(PathChooser::File);
    QTest::newRow("generated key") << "generatedKeyPathChooser"
                                   << "KamRpmSign.Data.Completer.GeneratedKey"
                                   << "Specify path to save key file or select existing key file"
                                   << pemTitle << pemFilter << int(PathChooser::SaveFile);
    QTest::newRow("generated request") << "generatedReqPathChooser"
                                       << "KamRpmSign.Data.Completer.GeneratedCsr"
                                       << "Specify path to save Certificate Signing Request file"
                                       << pemTitle << pemFilter << int(PathChooser::SaveFile);
}

void tst_SignDialogForm::choosers()
{
    QFETCH(QString, objectName);
    QFETCH(QString, historyKey);
    QFETCH(QString, placeholder);
    QFETCH(QString, title);
    QFETCH(QString, filter);
    QFETCH(int, kind);

    const auto dialog = makeShownDialog();
    PathChooser *chooser = dialog->findChild<PathChooser *>(objectName);
    QVERIFY(chooser);
    QCOMPARE(chooser->lineEdit()->placeholderText(), placeholder);
    QCOMPARE(chooser->promptDialogTitle(), title);
    QCOMPARE(chooser->promptDialogFilter(), filter);
    QCOMPARE(int(chooser->expectedKind()), kind);
    if (objectName == "caCertificatePathChooser") {
        QCOMPARE(chooser->toolTip(),
                 QString("Path to PEM-encoded bundle with root certificates. If not set, "
                         "default value will be used."));
    }

    // An empty field is no error (it shows the placeholder).
    QVERIFY(chooser->errorMessage().isEmpty());
    const QString existing = m_harness->writeWorkspaceFile("existing.pem", "x");
    chooser->lineEdit()->setText(existing);
    QVERIFY(chooser->isValid());

    // What the user confirms goes into the chooser's own history.
    chooser->lineEdit()->setFocus();
    QTest::keyClick(chooser->lineEdit(), Qt::Key_Return);
    QCoreApplication::processEvents();
    QCOMPARE(Utils::HistoryCompleter(historyKey).historyItem(), existing);
}

void tst_SignDialogForm::pathsTheToolsCanReach_data()
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
    const QString missing = "File does not exist";
    QTest::newRow("key in the workspace") << key << "workspace/k.pem" << true << ""
                                          << "";
    QTest::newRow("missing key") << key << "workspace/none.pem" << false << "" << missing;
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
    QTest::newRow("package outside") << "rpmPathChooser"
                                     << "outside/p.rpm" << true << ""
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
    QTest::newRow("request outside") << "generatedReqPathChooser"
                                     << "outside/r.csr" << true << ""
                                     << "write";
}

// The tools run in the build container, which sees the workspace and the engines' shared
// folders, the SDK's keys and CA folders (read only) and the engine's own files.
void tst_SignDialogForm::pathsTheToolsCanReach()
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

    const auto dialog = makeShownDialog();
    PathChooser *chooser = dialog->findChild<PathChooser *>(objectName);
    chooser->lineEdit()->setText(relative ? path : file);

    const QString sharedFolders = QDir::toNativeSeparators(workspace + ", " + m_sharedFolder);
    QString expected = problem;
    if (problem == "read" || problem == "write") {
        expected = QString("Outside the build engine's shared folder %1, the signing tool cannot "
                           "%2 it.")
                       .arg(sharedFolders, problem);
    }
    QCOMPARE(chooser->errorMessage(), expected);
    QCOMPARE(chooser->isValid(), expected.isEmpty());
}

void tst_SignDialogForm::regularKeysLinkRevealsRegularKey()
{
    const auto dialog = makeShownDialog();
    const DialogDriver driver(dialog.get());
    QLabel *label = driver.label("regularKeysLabel");
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

QTEST_MAIN(tst_SignDialogForm)

#include "tst_signdialogform.moc"
