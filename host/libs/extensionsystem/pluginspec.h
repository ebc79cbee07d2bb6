#pragma once

#include "extensionsystem_global.h"
#include "iplugin.h"

#include <QCoreApplication>
#include <QPluginLoader>
#include <QString>
#include <QStringList>
#include <QVector>

QT_BEGIN_NAMESPACE
class QJsonObject;
class QJsonValue;
QT_END_NAMESPACE

namespace ExtensionSystem {

class PluginManager;
class PluginManagerPrivate;

struct EXTENSIONSYSTEM_EXPORT PluginDependency
{
    enum Type { Required, Optional, Test };

    QString name;
    QString version;
    Type type = Required;
    bool operator==(const PluginDependency &other) const;
    QString toString() const;
};

// What the plug-in manager knows of one plug-in library: its metadata, its state and,
// once loaded, its plug-in object.
class EXTENSIONSYSTEM_EXPORT PluginSpec
{
    Q_DECLARE_TR_FUNCTIONS(ExtensionSystem::PluginSpec)

public:
    enum State { Invalid, Read, Resolved, Loaded, Initialized, Running, Stopped, Deleted };

    ~PluginSpec();

    QString name() const;
    QString version() const;
    QString compatVersion() const;
    QString vendor() const;
    QString copyright() const;
    QString license() const;
    QString description() const;
    QString url() const;
    QString category() const;
    bool isRequired() const;
    bool isExperimental() const;
    bool isEnabledByDefault() const;
    QVector<PluginDependency> dependencies() const;

    QString filePath() const;
    QStringList arguments() const;

    // Whether this plug-in can be used to fill in a dependency of the given
    // pluginName and version.
    bool provides(const QString &pluginName, const QString &version) const;

    IPlugin *plugin() const;

    State state() const;
    bool hasError() const;
    QString errorString() const;

    static bool isValidVersion(const QString &version);
    static int versionCompare(const QString &version1, const QString &version2);

private:
    friend class PluginManager;
    friend class PluginManagerPrivate;
    PluginSpec();

    bool read(const QString &fileName);
    bool readMetaData(const QJsonObject &pluginMetaData);
    bool readDependencies(const QJsonValue &value);
    void setError(const QString &message);
    void setResolved();
    void setArguments(const QStringList &arguments);
    bool loadLibrary();
    bool initializePlugin();
    bool initializeExtensions();
    bool delayedInitialize();
    IPlugin::ShutdownFlag stop();
    void kill();
    void unload();

    QPluginLoader m_loader;
    QString m_name;
    QString m_version;
    QString m_compatVersion;
    QString m_vendor;
    QString m_copyright;
    QString m_license;
    QString m_description;
    QString m_url;
    QString m_category;
    bool m_required = false;
    bool m_experimental = false;
    bool m_enabledByDefault = true;
    QVector<PluginDependency> m_dependencies;
    QString m_filePath;
    QStringList m_arguments;
    IPlugin *m_plugin = nullptr;
    State m_state = Invalid;
    QString m_errorString;
};

} // namespace ExtensionSystem
