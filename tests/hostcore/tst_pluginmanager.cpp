#include <extensionsystem/iplugin.h>
#include <extensionsystem/pluginmanager.h>
#include <extensionsystem/pluginspec.h>

#include <QSignalSpy>
#include <QtTest>

using namespace ExtensionSystem;

// The plug-in manager on the small plug-ins of tests/hostcore/plugins.
class tst_PluginManager : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void loadsInDependencyOrderAndShutsDownInReverse();
    void refusesPluginsThatCannotRun_data();
    void refusesPluginsThatCannotRun();

private:
    static QStringList events() { return qApp->property("pluginEvents").toStringList(); }
    static QStringList pluginsThat(const QString &event);
    static PluginSpec *pluginSpec(const QString &name);
    static void load(const QStringList &pluginsToLoad = {});
};

// The plug-ins that saw the event, in the order they saw it.
QStringList tst_PluginManager::pluginsThat(const QString &event)
{
    QStringList names;
    for (const QString &line : events()) {
        if (line.section(": ", 1).startsWith(event))
            names.append(line.section(": ", 0, 0));
    }
    return names;
}

PluginSpec *tst_PluginManager::pluginSpec(const QString &name)
{
    for (PluginSpec *plugin : PluginManager::plugins()) {
        if (plugin->name() == name || plugin->filePath().contains('/' + name + '.'))
            return plugin;
    }
    return nullptr;
}

void tst_PluginManager::load(const QStringList &pluginsToLoad)
{
    PluginManager::setPluginPaths({TEST_PLUGIN_DIR});
    PluginManager::setPluginsToLoad(pluginsToLoad);
    PluginManager::setArguments({"--build", "/some/project"});
    PluginManager::loadPlugins();
}

void tst_PluginManager::init()
{
    qApp->setProperty("pluginEvents", QStringList());
}

void tst_PluginManager::loadsInDependencyOrderAndShutsDownInReverse()
{
    {
        PluginManager manager;
        QSignalSpy initializationDone(&manager, &PluginManager::initializationDone);
        load({"Gamma"});
        QCOMPARE(pluginsThat("initialize --build /some/project"),
                 QStringList({"Alpha", "Beta", "Gamma"}));
        QCOMPARE(pluginsThat("extensionsInitialized"), QStringList({"Gamma", "Beta", "Alpha"}));
        // Delayed initialization waits for the event loop.
        QVERIFY(pluginsThat("delayedInitialize").isEmpty());
        QVERIFY(initializationDone.wait());
        QCOMPARE(pluginsThat("delayedInitialize"), QStringList({"Gamma", "Beta", "Alpha"}));
        QCOMPARE(pluginSpec("Gamma")->state(), PluginSpec::Running);
        QVERIFY(PluginManager::errors().filter("Gamma").isEmpty());
        QVERIFY(!pluginSpec("Needy")->hasError()); // not requested: no error

        init();
        PluginManager::shutdown();
        QCOMPARE(pluginSpec("Alpha")->state(), PluginSpec::Deleted);
    }
    QCOMPARE(events(),
             QStringList({"Gamma: aboutToShutdown",
                          "Beta: aboutToShutdown",
                          "Alpha: aboutToShutdown",
                          "Gamma: deleted",
                          "Beta: deleted",
                          "Alpha: deleted"}));
}

void tst_PluginManager::refusesPluginsThatCannotRun_data()
{
    QTest::addColumn<QString>("plugin");
    QTest::newRow("missing dependency") << "Needy";
    QTest::newRow("dependency refused") << "NeedyChild";
    QTest::newRow("dependency too old") << "TooOld";
    QTest::newRow("dependency no longer compatible") << "TooNew";
    QTest::newRow("initialize fails") << "Failing";
    QTest::newRow("dependency failed to initialize") << "FailingChild";
    QTest::newRow("bad metadata") << "BadVersion";
}

// A refused plug-in has a reason, is never set up and stops nobody else.
void tst_PluginManager::refusesPluginsThatCannotRun()
{
    QFETCH(QString, plugin);

    PluginManager manager;
    load();
    PluginSpec *refused = pluginSpec(plugin);
    QVERIFY(refused && refused->hasError());
    QVERIFY2(!refused->errorString().isEmpty(), qPrintable(plugin));
    QVERIFY(!pluginsThat("extensionsInitialized").contains(plugin));
    QCOMPARE(pluginSpec("Gamma")->state(), PluginSpec::Running);
}

QTEST_GUILESS_MAIN(tst_PluginManager)

#include "tst_pluginmanager.moc"
