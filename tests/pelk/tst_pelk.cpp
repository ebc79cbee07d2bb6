#include "../common/testide.h"
#include "../common/testsdk.h"

#include <coreplugin/messagemanager.h>
#include <pelk/buildcontainer.h>
#include <pelk/buildcontainermanager.h>
#include <pelk/buildengine.h>
#include <pelk/buildenginesdialog.h>
#include <pelk/sdk.h>
#include <utils/pathchooser.h>

#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

using Pelk::BuildEngine;
using Pelk::Sdk;

class PelkTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();

    void readsTheConfiguration();
    void reloadKeepsEnginesAndSignalsMovedFolders();
    void reloadAddsAndRemovesEngines();
    void badConfigurationKeepsTheLastGoodOne();
    void followsAtomicReplacementOfTheFile();
    void dialogStoresTheNewFolder();
    void dialogShowsWhyAFolderWasNotStored();
    void missingConfigurationIsReportedAtStartUp();

private:
    void restoreConfiguration();

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
    restoreConfiguration();
}

void PelkTest::restoreConfiguration()
{
    m_sdk->configuration().engines = m_sdk->configuration().engines.mid(0, 1);
    m_sdk->configuration().engines.first().sharedSrcPath = m_sdk->workspacePath();
    m_sdk->addEngine("second-engine", m_otherFolder.path());
    m_sdk->setRunCommands({"bin/run-first", "bin/run-second"});
    QVERIFY(m_sdk->save());
}

void PelkTest::readsTheConfiguration()
{
    QCOMPARE(Sdk::installationPath(), m_sdk->path());
    QCOMPARE(Sdk::workspacePath(), m_sdk->path() + "/workspace");

    const QList<BuildEngine *> engines = Sdk::buildEngines();
    QCOMPARE(engines.size(), 2);
    QCOMPARE(engines.at(0)->name(), QString("kelvara-engine"));
    QCOMPARE(engines.at(0)->path().toString(), m_sdk->path() + "/engine");
    QCOMPARE(engines.at(0)->sharedSrcPath().toString(), m_sdk->workspacePath());
    QCOMPARE(engines.at(1)->name(), QString("second-engine"));
    QCOMPARE(engines.at(1)->sharedSrcPath().toString(), m_otherFolder.path());

    const auto containers = Pelk::BuildContainerManager::buildContainers();
    QCOMPARE(containers.size(), 2);
    QCOMPARE(containers.at(0)->name(), QString("container-1"));
    QCOMPARE(containers.at(0)->runCommand().toString(), m_sdk->path() + "/bin/run-first");
    QCOMPARE(containers.at(1)->runCommand().toString(), m_sdk->path() + "/bin/run-second");
    QCOMPARE(containers.at(1)->engineName(), QString("kelvara-engine"));
}

void PelkTest::reloadKeepsEnginesAndSignalsMovedFolders()
{
    BuildEngine *first = Sdk::buildEngines().at(0);
    BuildEngine *second = Sdk::buildEngines().at(1);
    QSignalSpy firstSpy(first, &BuildEngine::sharedSrcPathChanged);
    QSignalSpy secondSpy(second, &BuildEngine::sharedSrcPathChanged);

    const QString newFolder = m_otherFolder.path() + "/moved";
    m_sdk->setSharedSrcPath("second-engine", newFolder);
    m_sdk->setRunCommands({"bin/run-second"});
    QVERIFY(m_sdk->save());

    QCOMPARE(Sdk::buildEngines(), QList<BuildEngine *>({first, second}));
    QCOMPARE(firstSpy.count(), 0);
    QCOMPARE(secondSpy.count(), 1);
    QCOMPARE(secondSpy.at(0).at(0).value<Utils::FilePath>().toString(), newFolder);
    QCOMPARE(second->sharedSrcPath().toString(), newFolder);
    // Whoever handles the signal already sees the whole new configuration.
    QCOMPARE(Pelk::BuildContainerManager::buildContainers().size(), 1);

    QVERIFY(Sdk::reload());
    QCOMPARE(secondSpy.count(), 1);
}

void PelkTest::reloadAddsAndRemovesEngines()
{
    BuildEngine *first = Sdk::buildEngines().at(0);
    QSignalSpy changedSpy(Sdk::instance(), &Sdk::buildEnginesChanged);
    m_sdk->configuration().engines = m_sdk->configuration().engines.mid(0, 1);
    m_sdk->addEngine("third-engine", QString());
    QVERIFY(m_sdk->save());

    QCOMPARE(changedSpy.count(), 1);
    const QList<BuildEngine *> engines = Sdk::buildEngines();
    QCOMPARE(engines.size(), 2);
    QCOMPARE(engines.at(0), first);
    QCOMPARE(engines.at(1)->name(), QString("third-engine"));
    QVERIFY(engines.at(1)->sharedSrcPath().isEmpty());
    QCOMPARE(Sdk::buildEngine("second-engine"), nullptr);
}

void PelkTest::badConfigurationKeepsTheLastGoodOne()
{
    const QString fileName = m_sdk->path() + "/sdk.json";
    QFile file(fileName);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write("{ \"engines\": [");
    file.close();

    QVERIFY(!Sdk::reload());
    QCOMPARE(Sdk::buildEngines().size(), 2);
    QCOMPARE(Pelk::BuildContainerManager::buildContainers().size(), 2);
    QVERIFY(Core::MessageManager::text().contains("The SDK configuration " + fileName
                                                  + " is not valid"));
}

void PelkTest::followsAtomicReplacementOfTheFile()
{
    BuildEngine *second = Sdk::buildEngine("second-engine");
    QVERIFY(second);
    QSignalSpy spy(second, &BuildEngine::sharedSrcPathChanged);

    // Saved without telling the IDE: the plug-in's watch on sdk.json must see it, also the
    // second time, after the first save replaced the watched file.
    for (const QString &folder : {m_otherFolder.path() + "/a", m_otherFolder.path() + "/b"}) {
        m_sdk->setSharedSrcPath("second-engine", folder);
        QString errorString;
        QVERIFY2(m_sdk->configuration().save(&errorString), qPrintable(errorString));
        QTRY_COMPARE_WITH_TIMEOUT(second->sharedSrcPath().toString(), folder, 20000);
    }
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
    auto buttons = dialog.findChild<QDialogButtonBox *>();
    QVERIFY(buttons);
    buttons->button(QDialogButtonBox::Apply)->click();

    QCOMPARE(spy.count(), 1);
    QCOMPARE(second->sharedSrcPath().toString(), newFolder);
    SdkConfig::Configuration stored;
    QString errorString;
    QVERIFY(SdkConfig::Configuration::load(m_sdk->path(), &stored, &errorString));
    QCOMPARE(stored.engine("second-engine")->sharedSrcPath, newFolder);
    QCOMPARE(stored.engine("kelvara-engine")->sharedSrcPath, m_sdk->workspacePath());
}

void PelkTest::dialogShowsWhyAFolderWasNotStored()
{
    Pelk::Internal::BuildEnginesDialog dialog;
    auto chooser = dialog.findChild<Utils::PathChooser *>("second-engine");
    QVERIFY(chooser);
    chooser->setPath(m_otherFolder.path() + "/elsewhere");
    // The engine vanished from the file meanwhile.
    m_sdk->configuration().engines = m_sdk->configuration().engines.mid(0, 1);
    QString errorString;
    QVERIFY(m_sdk->configuration().save(&errorString));

    QVERIFY(!dialog.apply());
    auto errorLabel = dialog.findChild<QLabel *>("errorLabel");
    QVERIFY(errorLabel);
    QVERIFY(!errorLabel->isHidden());
    QVERIFY(errorLabel->text().contains("second-engine"));
}

void PelkTest::missingConfigurationIsReportedAtStartUp()
{
    QTemporaryDir emptySdk;
    QTemporaryDir settings;
    QProcess ide;
    ide.start(TestIde::binDir() + "/kelvara-ide",
              {"-settingspath", settings.path(), "--sdk", emptySdk.path(), "-version"});
    QVERIFY(ide.waitForFinished(-1));
    QCOMPARE(ide.exitCode(), 0);
    const QString errors = QString::fromLocal8Bit(ide.readAllStandardError());
    QVERIFY2(errors.contains("Cannot read the SDK configuration " + emptySdk.path() + "/sdk.json"),
             qPrintable(errors));
    QVERIFY(QString::fromLocal8Bit(ide.readAllStandardOutput()).contains("Pelk 4.15.2"));
}

QTEST_MAIN(PelkTest)

#include "tst_pelk.moc"
