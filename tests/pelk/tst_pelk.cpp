#include "../common/testide.h"
#include "../common/testsdk.h"

#include <pelk/buildcontainer.h>
#include <pelk/buildcontainermanager.h>
#include <pelk/buildengine.h>
#include <pelk/buildenginesdialog.h>
#include <pelk/sdk.h>
#include <utils/pathchooser.h>

#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

using Pelk::BuildEngine;
using Pelk::Sdk;

// The build engines of the SDK's configuration, and the signal of a moved shared folder that the
// plug-ins follow, whoever changes the file.
class PelkTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();

    void reloadKeepsEnginesAndSignalsMovedFolders();
    void followsAtomicReplacementOfTheFile();
    void dialogStoresTheNewFolder();

private:
    std::unique_ptr<TestSdk> m_sdk;
    std::unique_ptr<TestIde> m_ide;
    QTemporaryDir m_otherFolder;
};

void PelkTest::initTestCase()
{
    qRegisterMetaType<Utils::FilePath>();
    m_sdk = std::make_unique<TestSdk>(QStringList{"bin/run-first", "bin/run-second"});
    QVERIFY(m_sdk->isValid());
    m_sdk->addEngine("second-engine", m_otherFolder.path());
    QVERIFY(m_sdk->save());
    m_ide = std::make_unique<TestIde>(m_sdk->path(), QStringList{"Pelk"});
}

void PelkTest::cleanupTestCase()
{
    m_ide.reset();
}

void PelkTest::init()
{
    m_sdk->setSharedSrcPath("second-engine", m_otherFolder.path());
    m_sdk->setRunCommands({"bin/run-first", "bin/run-second"});
    QVERIFY(m_sdk->save());
}

void PelkTest::reloadKeepsEnginesAndSignalsMovedFolders()
{
    const QList<BuildEngine *> engines = Sdk::buildEngines();
    QCOMPARE(engines.size(), 2);
    QCOMPARE(engines.at(0)->sharedSrcPath().toString(), m_sdk->workspacePath());
    QCOMPARE(engines.at(1)->name(), QString("second-engine"));
    QCOMPARE(Pelk::BuildContainerManager::buildContainers().at(1)->runCommand().toString(),
             m_sdk->path() + "/bin/run-second");
    QSignalSpy firstSpy(engines.at(0), &BuildEngine::sharedSrcPathChanged);
    QSignalSpy secondSpy(engines.at(1), &BuildEngine::sharedSrcPathChanged);

    const QString newFolder = m_otherFolder.path() + "/moved";
    m_sdk->setSharedSrcPath("second-engine", newFolder);
    m_sdk->setRunCommands({"bin/run-second"});
    QVERIFY(m_sdk->save());

    QCOMPARE(Sdk::buildEngines(), engines);
    QCOMPARE(firstSpy.count(), 0);
    QCOMPARE(secondSpy.count(), 1);
    QCOMPARE(secondSpy.at(0).at(0).value<Utils::FilePath>().toString(), newFolder);
    // Whoever handles the signal already sees the whole new configuration.
    QCOMPARE(Pelk::BuildContainerManager::buildContainers().size(), 1);
    QVERIFY(Sdk::reload());
    QCOMPARE(secondSpy.count(), 1);
}

void PelkTest::followsAtomicReplacementOfTheFile()
{
    BuildEngine *second = Sdk::buildEngine("second-engine");
    QVERIFY(second);
    QSignalSpy spy(second, &BuildEngine::sharedSrcPathChanged);

    // Saved without telling the IDE, first by replacing the file, then by writing into the new
    // one: the plug-in's watch on sdk.json must follow the file that replaced the watched one.
    const QString a = m_otherFolder.path() + "/a";
    const QString b = m_otherFolder.path() + "/b";
    m_sdk->setSharedSrcPath("second-engine", a);
    QString errorString;
    QVERIFY2(m_sdk->configuration().save(&errorString), qPrintable(errorString));
    QTRY_COMPARE_WITH_TIMEOUT(second->sharedSrcPath().toString(), a, 20000);

    QFile file(m_sdk->path() + "/sdk.json");
    QVERIFY(file.open(QIODevice::ReadWrite));
    const QByteArray text = file.readAll().replace(a.toUtf8(), b.toUtf8());
    QVERIFY(file.seek(0) && file.write(text) == text.size()); // same length: one write in place
    file.close();
    QTRY_COMPARE_WITH_TIMEOUT(second->sharedSrcPath().toString(),
                              m_otherFolder.path() + "/b",
                              20000);
    QCOMPARE(spy.count(), 2);
}

void PelkTest::dialogStoresTheNewFolder()
{
    BuildEngine *second = Sdk::buildEngine("second-engine");
    QSignalSpy spy(second, &BuildEngine::sharedSrcPathChanged);
    const QString newFolder = m_otherFolder.path() + "/chosen";
    QVERIFY(QDir().mkpath(newFolder));

    Pelk::Internal::BuildEnginesDialog dialog;
    auto chooser = dialog.findChild<Utils::PathChooser *>("second-engine");
    QVERIFY(chooser);
    QCOMPARE(chooser->filePath().toString(), m_otherFolder.path());
    chooser->setPath(newFolder);
    dialog.findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Apply)->click();

    QCOMPARE(spy.count(), 1);
    SdkConfig::Configuration stored;
    QString errorString;
    QVERIFY(SdkConfig::Configuration::load(m_sdk->path(), &stored, &errorString));
    QCOMPARE(stored.engine("second-engine")->sharedSrcPath, newFolder);
    QCOMPARE(stored.engine("kelvara-engine")->sharedSrcPath, m_sdk->workspacePath());
}

QTEST_MAIN(PelkTest)

#include "tst_pelk.moc"
