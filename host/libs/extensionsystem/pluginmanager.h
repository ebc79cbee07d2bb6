#pragma once

#include "extensionsystem_global.h"

#include <QObject>
#include <QReadWriteLock>
#include <QStringList>
#include <QVector>

QT_BEGIN_NAMESPACE
class QSettings;
QT_END_NAMESPACE

namespace ExtensionSystem {

class IPlugin;
class PluginSpec;
class PluginManagerPrivate;

// Loads the plug-ins of the plug-in folders in the order of their dependencies and keeps
// the object pool. Construct one (on the stack of main or of a test) before using the statics.
//
// Host-only additions: setArguments() (what initialize() receives), setPluginsToLoad() (load
// only the named plug-ins and what they require), shutdown() (what the destructor also does),
// errors() (one line per refused plug-in).
class EXTENSIONSYSTEM_EXPORT PluginManager : public QObject
{
    Q_OBJECT

public:
    static PluginManager *instance();

    PluginManager();
    ~PluginManager() override;

    // Object pool operations
    static void addObject(QObject *obj);
    static void removeObject(QObject *obj);
    static QVector<QObject *> allObjects();
    static QReadWriteLock *listLock();

    // This is useful for soft dependencies using pure interfaces.
    template<typename T>
    static T *getObject()
    {
        QReadLocker lock(listLock());
        const QVector<QObject *> all = allObjects();
        for (QObject *obj : all) {
            if (T *result = qobject_cast<T *>(obj))
                return result;
        }
        return nullptr;
    }
    static QObject *getObjectByName(const QString &name);

    // Plugin operations
    static QVector<PluginSpec *> loadQueue();
    static void loadPlugins();
    static QStringList pluginPaths();
    static void setPluginPaths(const QStringList &paths);
    static QString pluginIID();
    static void setPluginIID(const QString &iid);
    static const QVector<PluginSpec *> plugins();
    static PluginSpec *specForPlugin(IPlugin *plugin);
    static bool hasError();
    static QStringList errors();

    static void setArguments(const QStringList &arguments);
    static QStringList arguments();
    static void setPluginsToLoad(const QStringList &pluginNames);

    // Shuts down and deletes all plug-ins in the reverse order of loading. Called by the
    // destructor if not done before.
    static void shutdown();
    static bool isInitializationDone();

    // Settings
    static void setSettings(QSettings *settings);
    static QSettings *settings();
    static void setGlobalSettings(QSettings *settings);
    static QSettings *globalSettings();
    static void writeSettings();

signals:
    void objectAdded(QObject *obj);
    void aboutToRemoveObject(QObject *obj);

    void pluginsChanged();
    void initializationDone();
    void testsFinished(int failedTests);

private:
    PluginManagerPrivate *d;
};

} // namespace ExtensionSystem
