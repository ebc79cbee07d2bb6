#include "testproject.h"

#include <testide.h>

#include <coreplugin/messagemanager.h>
#include <projectexplorer/projectmanager.h>
#include <projectexplorer/session.h>
#include <projectexplorer/target.h>

#include <QTemporaryDir>
#include <QtTest>

#include <memory>

using namespace ProjectExplorer;

// A project folder given on the IDE's command line is opened once start-up is done.
class tst_StartupProject : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void projectOfTheCommandLineIsOpenedAndParsed();

private:
    std::unique_ptr<TestIde> m_ide;
    QTemporaryDir m_dir;
    QString m_projectFile;
};

void tst_StartupProject::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_projectFile = TestProject::createProjectFile(m_dir.path() + "/app", "app");
    ProjectManager::registerProjectType<TestProject>(TestProject::mimeType, TestProject::fileSuffix);
    m_ide = std::make_unique<TestIde>(QString(),
                                      QStringList{"ProjectExplorer"},
                                      QStringList{"--trigger",
                                                  "Some.Action",
                                                  m_dir.path() + "/app"});
}

void tst_StartupProject::cleanupTestCase()
{
    m_ide.reset();
    QVERIFY(QFile::exists(m_projectFile + ".user")); // closing the IDE saves the project
}

void tst_StartupProject::projectOfTheCommandLineIsOpenedAndParsed()
{
    QCOMPARE(SessionManager::projects().count(), 1);
    auto project = qobject_cast<TestProject *>(SessionManager::startupProject());
    QVERIFY(project);
    QCOMPARE(project->projectFilePath().toString(), m_projectFile);
    QTRY_COMPARE(project->parseCount, 1);
    QVERIFY(!Core::MessageManager::text().contains("Failed to open project"));
}

QTEST_MAIN(tst_StartupProject)

#include "tst_startupproject.moc"
