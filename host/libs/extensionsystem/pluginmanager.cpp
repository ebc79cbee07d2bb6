#include "pluginmanager.h"

#include "iplugin.h"
#include "pluginspec.h"

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QLibrary>
#include <QPointer>
#include <QSet>
#include <QSettings>
#include <QTimer>

namespace ExtensionSystem {

namespace {
PluginManager *m_instance = nullptr;
QPointer<QSettings> theSettings;
QPointer<QSettings> theGlobalSettings;

void replaceSettings(QPointer<QSettings> &slot, QSettings *settings)
{
    if (slot && slot != settings)
        delete slot;
    slot = settings;
}

// The IDE's store: the same as a default-constructed QSettings of the application.
QSettings *ensureSettings(QPointer<QSettings> &slot, QSettings::Scope scope)
{
    if (!slot)
        slot = new QSettings(QSettings::IniFormat,
                             scope,
                             QLatin1String("Kelvara"),
                             QLatin1String("KelvaraIDE"));
    return slot;
}
} // namespace

class PluginManagerPrivate
{
    Q_DECLARE_TR_FUNCTIONS(ExtensionSystem::PluginManager)

public:
    explicit PluginManagerPrivate(PluginManager *q)
        : q(q)
    {}

    void readPluginPaths();
    void selectRequestedPlugins();
    void resolveDependencies();
    PluginSpec *provider(const PluginDependency &dependency) const;
    void disableDependents();
    bool checkDependenciesLoaded(PluginSpec *pluginSpec);
    void buildLoadQueue();
    bool appendToLoadQueue(PluginSpec *pluginSpec, QVector<PluginSpec *> &circularityCheck);
    void runDelayedInitialize();
    void stopAll();
    void deleteAll();

    PluginManager *q;
    QVector<PluginSpec *> pluginSpecs;
    QVector<PluginSpec *> requested;
    QVector<PluginSpec *> queue;
    QStringList pluginPaths;
    QString pluginIID = QStringLiteral("org.qt-project.Qt.QtCreatorPlugin");
    QStringList arguments;
    QStringList pluginsToLoad;
    QVector<QObject *> allObjects;
    QReadWriteLock lock;
    bool initializationDone = false;
    bool shutdownDone = false;
};

void PluginManagerPrivate::readPluginPaths()
{
    QSet<QString> names;
    for (const QString &path : qAsConst(pluginPaths)) {
        const QDir dir(path);
        QStringList files = dir.entryList(QDir::Files);
        files.sort();
        for (const QString &file : qAsConst(files)) {
            const QString filePath = dir.absoluteFilePath(file);
            if (!QLibrary::isLibrary(filePath))
                continue;
            auto pluginSpec = new PluginSpec;
            pluginSpec->read(filePath);
            // Libraries in the folder that are no plug-ins of ours are not ours to report.
            if (pluginSpec->m_loader.metaData().value(QLatin1String("IID")).toString() != pluginIID) {
                delete pluginSpec;
                continue;
            }
            if (!pluginSpec->hasError() && names.contains(pluginSpec->name()))
                pluginSpec->setError(tr("A plugin named \"%1\" was already found.").arg(pluginSpec->name()));
            names.insert(pluginSpec->name());
            pluginSpecs.append(pluginSpec);
        }
    }
}

PluginSpec *PluginManagerPrivate::provider(const PluginDependency &dependency) const
{
    for (PluginSpec *pluginSpec : pluginSpecs) {
        if (pluginSpec->state() != PluginSpec::Invalid
            && QString::compare(pluginSpec->name(), dependency.name, Qt::CaseInsensitive) == 0) {
            return pluginSpec;
        }
    }
    return nullptr;
}

// The plug-ins to load: those named in pluginsToLoad and what they require, or else every
// plug-in enabled by default.
void PluginManagerPrivate::selectRequestedPlugins()
{
    QVector<PluginSpec *> pending;
    for (PluginSpec *pluginSpec : qAsConst(pluginSpecs)) {
        const bool wanted = pluginsToLoad.isEmpty() ? pluginSpec->isEnabledByDefault()
                                                    : pluginsToLoad.contains(pluginSpec->name());
        if (wanted)
            pending.append(pluginSpec);
    }
    while (!pending.isEmpty()) {
        PluginSpec *pluginSpec = pending.takeFirst();
        if (requested.contains(pluginSpec))
            continue;
        requested.append(pluginSpec);
        for (const PluginDependency &dependency : pluginSpec->dependencies()) {
            if (dependency.type == PluginDependency::Test)
                continue;
            if (PluginSpec *dep = provider(dependency))
                pending.append(dep);
        }
    }
    // Keep the order of discovery.
    std::sort(requested.begin(), requested.end(), [this](PluginSpec *a, PluginSpec *b) {
        return pluginSpecs.indexOf(a) < pluginSpecs.indexOf(b);
    });
}

void PluginManagerPrivate::resolveDependencies()
{
    for (PluginSpec *pluginSpec : qAsConst(requested)) {
        if (pluginSpec->hasError())
            continue;
        for (const PluginDependency &dependency : pluginSpec->dependencies()) {
            if (dependency.type != PluginDependency::Required)
                continue;
            const PluginSpec *found = provider(dependency);
            if (!found) {
                pluginSpec->setError(
                    tr("Could not resolve dependency '%1(%2)': no such plugin was found.")
                        .arg(dependency.name, dependency.version));
            } else if (!found->provides(dependency.name, dependency.version)) {
                pluginSpec->setError(
                    tr("Could not resolve dependency '%1(%2)': found version %3, which is "
                       "compatible with versions %4 to %3 only.")
                        .arg(dependency.name,
                             dependency.version,
                             found->version(),
                             found->compatVersion()));
            }
        }
        if (!pluginSpec->hasError())
            pluginSpec->setResolved();
    }
    disableDependents();
}

// A plug-in whose required dependency is refused is refused too, with the reason.
void PluginManagerPrivate::disableDependents()
{
    bool changed = true;
    while (changed) {
        changed = false;
        for (PluginSpec *pluginSpec : qAsConst(requested)) {
            if (!pluginSpec->hasError() && !checkDependenciesLoaded(pluginSpec))
                changed = true;
        }
    }
}

bool PluginManagerPrivate::checkDependenciesLoaded(PluginSpec *pluginSpec)
{
    for (const PluginDependency &dependency : pluginSpec->dependencies()) {
        if (dependency.type != PluginDependency::Required)
            continue;
        const PluginSpec *dep = provider(dependency);
        if (dep && dep->hasError()) {
            pluginSpec->setError(tr("Cannot load plugin because dependency failed to load: %1(%2)\n"
                              "Reason: %3")
                               .arg(dep->name(), dep->version(), dep->errorString()));
            return false;
        }
    }
    return true;
}

void PluginManagerPrivate::buildLoadQueue()
{
    for (PluginSpec *pluginSpec : qAsConst(requested)) {
        QVector<PluginSpec *> circularityCheck;
        appendToLoadQueue(pluginSpec, circularityCheck);
    }
}

bool PluginManagerPrivate::appendToLoadQueue(PluginSpec *pluginSpec,
                                             QVector<PluginSpec *> &circularityCheck)
{
    if (queue.contains(pluginSpec))
        return true;
    if (pluginSpec->hasError() || pluginSpec->state() != PluginSpec::Resolved)
        return false;
    if (circularityCheck.contains(pluginSpec)) {
        QStringList names;
        for (PluginSpec *s : qAsConst(circularityCheck))
            names.append(s->name());
        names.append(pluginSpec->name());
        pluginSpec->setError(
            tr("Circular dependency detected: %1").arg(names.join(QLatin1String(" -> "))));
        return false;
    }
    circularityCheck.append(pluginSpec);
    for (const PluginDependency &dependency : pluginSpec->dependencies()) {
        if (dependency.type == PluginDependency::Test)
            continue;
        PluginSpec *dep = provider(dependency);
        if (!dep || !requested.contains(dep))
            continue;
        if (!appendToLoadQueue(dep, circularityCheck)
            && dependency.type == PluginDependency::Required) {
            pluginSpec->setError(tr("Cannot load plugin because dependency failed to load: %1(%2)\n"
                              "Reason: %3")
                               .arg(dep->name(), dep->version(), dep->errorString()));
            return false;
        }
    }
    queue.append(pluginSpec);
    return true;
}

void PluginManagerPrivate::runDelayedInitialize()
{
    for (auto it = queue.crbegin(); it != queue.crend(); ++it)
        (*it)->delayedInitialize();
    initializationDone = true;
    emit q->initializationDone();
}

void PluginManagerPrivate::stopAll()
{
    QEventLoop loop;
    int pending = 0;
    for (auto it = queue.crbegin(); it != queue.crend(); ++it) {
        PluginSpec *pluginSpec = *it;
        if (!pluginSpec->plugin())
            continue;
        QObject::connect(pluginSpec->plugin(), &IPlugin::asynchronousShutdownFinished, &loop, [&] {
            if (--pending == 0)
                loop.quit();
        });
        if (pluginSpec->stop() == IPlugin::AsynchronousShutdown)
            ++pending;
        else
            QObject::disconnect(pluginSpec->plugin(),
                                &IPlugin::asynchronousShutdownFinished,
                                &loop,
                                nullptr);
    }
    if (pending > 0)
        loop.exec();
}

void PluginManagerPrivate::deleteAll()
{
    for (auto it = queue.crbegin(); it != queue.crend(); ++it)
        (*it)->kill();
    // Unload only when no plug-in object is left: one plug-in's objects may outlive it inside
    // another plug-in's widgets until that one is deleted.
    for (auto it = queue.crbegin(); it != queue.crend(); ++it)
        (*it)->unload();
}

PluginManager *PluginManager::instance()
{
    return m_instance;
}

PluginManager::PluginManager()
    : d(new PluginManagerPrivate(this))
{
    Q_ASSERT(!m_instance);
    m_instance = this;
}

PluginManager::~PluginManager()
{
    shutdown();
    qDeleteAll(d->pluginSpecs);
    delete theSettings;
    delete theGlobalSettings;
    delete d;
    m_instance = nullptr;
}

void PluginManager::addObject(QObject *obj)
{
    if (!obj || !m_instance)
        return;
    {
        QWriteLocker lock(&m_instance->d->lock);
        if (m_instance->d->allObjects.contains(obj))
            return;
        m_instance->d->allObjects.append(obj);
    }
    emit m_instance->objectAdded(obj);
}

void PluginManager::removeObject(QObject *obj)
{
    if (!obj || !m_instance || !m_instance->d->allObjects.contains(obj))
        return;
    emit m_instance->aboutToRemoveObject(obj);
    QWriteLocker lock(&m_instance->d->lock);
    m_instance->d->allObjects.removeAll(obj);
}

QVector<QObject *> PluginManager::allObjects()
{
    return m_instance ? m_instance->d->allObjects : QVector<QObject *>();
}

QReadWriteLock *PluginManager::listLock()
{
    static QReadWriteLock noManagerLock;
    return m_instance ? &m_instance->d->lock : &noManagerLock;
}

QObject *PluginManager::getObjectByName(const QString &name)
{
    QReadLocker lock(listLock());
    const QVector<QObject *> all = allObjects();
    for (QObject *obj : all) {
        if (obj->objectName() == name)
            return obj;
    }
    return nullptr;
}

QVector<PluginSpec *> PluginManager::loadQueue()
{
    return m_instance ? m_instance->d->queue : QVector<PluginSpec *>();
}

void PluginManager::loadPlugins()
{
    Q_ASSERT(m_instance);
    PluginManagerPrivate *d = m_instance->d;
    d->readPluginPaths();
    d->selectRequestedPlugins();
    for (PluginSpec *pluginSpec : qAsConst(d->requested))
        pluginSpec->setArguments(d->arguments);
    d->resolveDependencies();
    d->buildLoadQueue();
    emit m_instance->pluginsChanged();

    for (PluginSpec *pluginSpec : qAsConst(d->queue)) {
        if (d->checkDependenciesLoaded(pluginSpec))
            pluginSpec->loadLibrary();
    }
    for (PluginSpec *pluginSpec : qAsConst(d->queue)) {
        if (d->checkDependenciesLoaded(pluginSpec))
            pluginSpec->initializePlugin();
    }
    for (auto it = d->queue.crbegin(); it != d->queue.crend(); ++it)
        (*it)->initializeExtensions();
    emit m_instance->pluginsChanged();

    // Like the delayed initialization of Qt Creator: after the event loop runs.
    QTimer::singleShot(0, m_instance, [d] { d->runDelayedInitialize(); });
}

QStringList PluginManager::pluginPaths()
{
    return m_instance ? m_instance->d->pluginPaths : QStringList();
}

void PluginManager::setPluginPaths(const QStringList &paths)
{
    Q_ASSERT(m_instance);
    m_instance->d->pluginPaths = paths;
}

QString PluginManager::pluginIID()
{
    return m_instance ? m_instance->d->pluginIID : QString();
}

void PluginManager::setPluginIID(const QString &iid)
{
    Q_ASSERT(m_instance);
    m_instance->d->pluginIID = iid;
}

const QVector<PluginSpec *> PluginManager::plugins()
{
    return m_instance ? m_instance->d->pluginSpecs : QVector<PluginSpec *>();
}

PluginSpec *PluginManager::specForPlugin(IPlugin *plugin)
{
    return plugin ? plugin->pluginSpec() : nullptr;
}

bool PluginManager::hasError()
{
    return !errors().isEmpty();
}

QStringList PluginManager::errors()
{
    QStringList result;
    for (const PluginSpec *pluginSpec : plugins()) {
        if (pluginSpec->hasError()) {
            const QString name = pluginSpec->name().isEmpty() ? QDir::toNativeSeparators(pluginSpec->filePath())
                                                        : pluginSpec->name();
            result.append(tr("Plugin %1 not loaded: %2").arg(name, pluginSpec->errorString()));
        }
    }
    return result;
}

void PluginManager::setArguments(const QStringList &arguments)
{
    Q_ASSERT(m_instance);
    m_instance->d->arguments = arguments;
}

QStringList PluginManager::arguments()
{
    return m_instance ? m_instance->d->arguments : QStringList();
}

void PluginManager::setPluginsToLoad(const QStringList &pluginNames)
{
    Q_ASSERT(m_instance);
    m_instance->d->pluginsToLoad = pluginNames;
}

void PluginManager::shutdown()
{
    if (!m_instance || m_instance->d->shutdownDone)
        return;
    m_instance->d->shutdownDone = true;
    m_instance->d->stopAll();
    writeSettings();
    m_instance->d->deleteAll();
    emit m_instance->pluginsChanged();
}

bool PluginManager::isInitializationDone()
{
    return m_instance && m_instance->d->initializationDone;
}

void PluginManager::setSettings(QSettings *settings)
{
    replaceSettings(theSettings, settings);
}

QSettings *PluginManager::settings()
{
    return ensureSettings(theSettings, QSettings::UserScope);
}

void PluginManager::setGlobalSettings(QSettings *settings)
{
    replaceSettings(theGlobalSettings, settings);
}

QSettings *PluginManager::globalSettings()
{
    return ensureSettings(theGlobalSettings, QSettings::SystemScope);
}

void PluginManager::writeSettings()
{
    if (theSettings)
        theSettings->sync();
}

} // namespace ExtensionSystem
