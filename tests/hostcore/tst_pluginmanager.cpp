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
    void refusesPluginsWithReasons_data();
    void refusesPluginsWithReasons();
    void requestedSubsetLoadsWithWhatItRequiresAndGetsArguments();
    void objectPool();
    void versionComparison_data();
    void versionComparison();

private:
    static QStringList events() { return qApp->property("pluginEvents").toStringList(); }
    static QStringList eventsOf(const QString &kind);
    static PluginSpec *pluginSpec(const QString &name);
    static void load(const QStringList &pluginsToLoad = {}, const QStringList &arguments = {});
};

QStringList tst_PluginManager::eventsOf(const QString &kind)
{
    QStringList result;
    for (const QString &event : events()) {
        const QString name = event.section(QLatin1String(": "), 0, 0);
        if (event.section(QLatin1String(": "), 1).startsWith(kind))
            result.append(name);
    }
    return result;
}

PluginSpec *tst_PluginManager::pluginSpec(const QString &name)
{
    for (PluginSpec *pluginSpec : PluginManager::plugins()) {
        if (pluginSpec->name() == name)
            return pluginSpec;
    }
    return nullptr;
}

void tst_PluginManager::load(const QStringList &pluginsToLoad, const QStringList &arguments)
{
    PluginManager::setPluginPaths({QLatin1String(TEST_PLUGIN_DIR)});
    PluginManager::setPluginsToLoad(pluginsToLoad);
    PluginManager::setArguments(arguments);
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
        load({QLatin1String("Gamma")});
        QCOMPARE(eventsOf(QLatin1String("initialize")), QStringList({"Alpha", "Beta", "Gamma"}));
        QCOMPARE(eventsOf(QLatin1String("extensionsInitialized")),
                 QStringList({"Gamma", "Beta", "Alpha"}));
        // Delayed initialization waits for the event loop.
        QVERIFY(eventsOf(QLatin1String("delayedInitialize")).isEmpty());
        QVERIFY(!PluginManager::isInitializationDone());
        QVERIFY(initializationDone.wait());
        QCOMPARE(eventsOf(QLatin1String("delayedInitialize")),
                 QStringList({"Gamma", "Beta", "Alpha"}));
        QVERIFY(PluginManager::isInitializationDone());
        QCOMPARE(pluginSpec(QLatin1String("Gamma"))->state(), PluginSpec::Running);
        QCOMPARE(pluginSpec(QLatin1String("Gamma"))->plugin()->pluginSpec(),
                 pluginSpec(QLatin1String("Gamma")));
        QCOMPARE(PluginManager::loadQueue().size(), 3);

        qApp->setProperty("pluginEvents", QStringList());
        PluginManager::shutdown();
        QCOMPARE(pluginSpec(QLatin1String("Alpha"))->state(), PluginSpec::Deleted);
        QVERIFY(!pluginSpec(QLatin1String("Alpha"))->plugin());
    }
    QCOMPARE(events(),
             QStringList({"Gamma: aboutToShutdown",
                          "Beta: aboutToShutdown",
                          "Alpha: aboutToShutdown",
                          "Gamma: deleted",
                          "Beta: deleted",
                          "Alpha: deleted"}));
}

void tst_PluginManager::refusesPluginsWithReasons_data()
{
    QTest::addColumn<QString>("plugin");
    QTest::addColumn<QStringList>("reasonParts");

    QTest::newRow("missing dependency")
        << "Needy"
        << QStringList({"Could not resolve dependency 'Missing(1.0.0)'", "no such plugin"});
    QTest::newRow("dependency refused")
        << "NeedyChild"
        << QStringList({"dependency failed to load: Needy(1.0.0)",
                        "Reason: Could not resolve dependency 'Missing"});
    QTest::newRow("dependency too old")
        << "TooOld" << QStringList({"'Alpha(2.0.0)'", "found version 1.2.0", "1.0.0 to 1.2.0"});
    QTest::newRow("dependency no longer compatible")
        << "TooNew" << QStringList({"'Alpha(0.9.0)'", "found version 1.2.0"});
    QTest::newRow("initialize fails")
        << "Failing" << QStringList({"Plugin initialization failed: deliberate failure"});
    QTest::newRow("dependency failed to initialize")
        << "FailingChild"
        << QStringList({"dependency failed to load: Failing(1.0.0)", "deliberate failure"});
    QTest::newRow("bad metadata")
        << "BadVersion"
        << QStringList({"Value \"one.two\" for key \"Version\" has invalid format"});
}

void tst_PluginManager::refusesPluginsWithReasons()
{
    QFETCH(QString, plugin);
    QFETCH(QStringList, reasonParts);

    PluginManager manager;
    load();

    const PluginSpec *refused = nullptr;
    for (PluginSpec *candidate : PluginManager::plugins()) {
        if (candidate->name() == plugin
            || candidate->filePath().contains(plugin + QLatin1String(".")))
            refused = candidate;
    }
    QVERIFY(refused);
    QVERIFY(refused->hasError());
    for (const QString &part : reasonParts)
        QVERIFY2(refused->errorString().contains(part), qPrintable(refused->errorString()));
    QVERIFY(!eventsOf(QLatin1String("extensionsInitialized")).contains(plugin));

    const QString errorLine
        = PluginManager::errors().filter(QLatin1String("Plugin ") + plugin).value(0);
    QVERIFY2(errorLine.startsWith(QLatin1String("Plugin ") + plugin
                                  + QLatin1String(" not loaded: ")),
             qPrintable(PluginManager::errors().join(QLatin1Char('\n'))));

    // The refusals stop nobody else.
    QCOMPARE(pluginSpec(QLatin1String("Gamma"))->state(), PluginSpec::Running);
    QVERIFY(!pluginSpec(QLatin1String("Alpha"))->hasError());
}

void tst_PluginManager::requestedSubsetLoadsWithWhatItRequiresAndGetsArguments()
{
    PluginManager manager;
    load({QLatin1String("Beta")}, {QLatin1String("--build"), QLatin1String("/some/project")});
    QCOMPARE(events().filter(QLatin1String("initialize")),
             QStringList({"Alpha: initialize --build /some/project",
                          "Beta: initialize --build /some/project"}));
    QCOMPARE(pluginSpec(QLatin1String("Beta"))->arguments(), PluginManager::arguments());
    QCOMPARE(pluginSpec(QLatin1String("Gamma"))->state(), PluginSpec::Read);
    QVERIFY(!pluginSpec(QLatin1String("Gamma"))->hasError());
    QVERIFY(!pluginSpec(QLatin1String("Needy"))->hasError());
    // Broken metadata is reported whatever is requested; unrequested plug-ins are no errors.
    const QStringList errors = PluginManager::errors();
    QCOMPARE(errors.size(), 1);
    QVERIFY2(errors.first().startsWith(QLatin1String("Plugin BadVersion not loaded")),
             qPrintable(errors.first()));
}

void tst_PluginManager::objectPool()
{
    PluginManager manager;
    QSignalSpy added(&manager, &PluginManager::objectAdded);
    QSignalSpy aboutToRemove(&manager, &PluginManager::aboutToRemoveObject);
    QObject plain;
    plain.setObjectName(QLatin1String("plain"));
    QTimer timer;

    PluginManager::addObject(&plain);
    PluginManager::addObject(&timer);
    PluginManager::addObject(&timer);
    QCOMPARE(added.count(), 2);
    QCOMPARE(PluginManager::allObjects(), QVector<QObject *>({&plain, &timer}));
    QCOMPARE(PluginManager::getObject<QTimer>(), &timer);
    QCOMPARE(PluginManager::getObjectByName(QLatin1String("plain")), &plain);

    PluginManager::removeObject(&timer);
    QCOMPARE(aboutToRemove.count(), 1);
    QCOMPARE(aboutToRemove.first().first().value<QObject *>(), &timer);
    QVERIFY(!PluginManager::getObject<QTimer>());
    PluginManager::removeObject(&plain);
}

void tst_PluginManager::versionComparison_data()
{
    QTest::addColumn<QString>("version1");
    QTest::addColumn<QString>("version2");
    QTest::addColumn<int>("expected");

    QTest::newRow("same") << QString("4.15.2") << "4.15.2" << 0;
    QTest::newRow("missing parts are zero") << QString("4.15") << "4.15.0" << 0;
    QTest::newRow("older patch") << QString("4.15.1") << "4.15.2" << -1;
    QTest::newRow("numeric, not text") << QString("4.10.0") << "4.9.0" << 1;
    QTest::newRow("suffix counts") << QString("1.0.0_2") << "1.0.0_1" << 1;
    QTest::newRow("major wins") << QString("5.0.0") << "4.99.99" << 1;
}

void tst_PluginManager::versionComparison()
{
    QFETCH(QString, version1);
    QFETCH(QString, version2);
    QFETCH(int, expected);

    QCOMPARE(PluginSpec::versionCompare(version1, version2), expected);
    QCOMPARE(PluginSpec::versionCompare(version2, version1), -expected);
    QVERIFY(PluginSpec::isValidVersion(version1));
    QVERIFY(!PluginSpec::isValidVersion(QLatin1String("1.2.3.4")));
    QVERIFY(!PluginSpec::isValidVersion(QLatin1String("one.two")));
}

QTEST_GUILESS_MAIN(tst_PluginManager)

#include "tst_pluginmanager.moc"
