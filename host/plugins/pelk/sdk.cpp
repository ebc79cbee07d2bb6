#include "sdk.h"

#include "buildcontainer.h"
#include "buildengine.h"

#include <coreplugin/messagemanager.h>
#include <sdkconfig/sdkconfig.h>

#include <QFileInfo>
#include <QFileSystemWatcher>

namespace Pelk {

class SdkPrivate
{
public:
    QString installationPath;
    SdkConfig::Configuration configuration;
    QList<BuildEngine *> engines;
    QVector<QSharedPointer<BuildContainer>> containers;
    QFileSystemWatcher watcher;

    BuildEngine *engineNamed(const QString &name) const
    {
        for (BuildEngine *engine : engines) {
            if (engine->name() == name)
                return engine;
        }
        return nullptr;
    }
};

static Sdk *s_instance = nullptr;

static void reportError(const QString &message)
{
    const QString line = Sdk::tr("Build engines: %1").arg(message);
    qWarning("%s", qPrintable(line));
    Core::MessageManager::writeFlashing(line);
}

Sdk::Sdk(const QString &installationPath, QObject *parent)
    : QObject(parent)
    , d(std::make_unique<SdkPrivate>())
{
    s_instance = this;
    d->installationPath = installationPath;
    if (installationPath.isEmpty()) {
        reportError(tr("No SDK folder is set (KELVARA_SDK_DIR): there are no build engines."));
        return;
    }

    connect(&d->watcher, &QFileSystemWatcher::fileChanged, this, &Sdk::onConfigurationFileChanged);
    connect(&d->watcher,
            &QFileSystemWatcher::directoryChanged,
            this,
            &Sdk::onConfigurationFileChanged);
    if (QFileInfo::exists(installationPath))
        d->watcher.addPath(installationPath);
    watchConfigurationFile();
    load();
}

Sdk::~Sdk()
{
    if (s_instance == this)
        s_instance = nullptr;
}

Sdk *Sdk::instance()
{
    return s_instance;
}

QString Sdk::installationPath()
{
    return s_instance ? s_instance->d->installationPath : QString();
}

QList<BuildEngine *> Sdk::buildEngines()
{
    return s_instance ? s_instance->d->engines : QList<BuildEngine *>();
}

QString Sdk::workspacePath()
{
    return s_instance ? s_instance->d->configuration.workspace : QString();
}

BuildEngine *Sdk::buildEngine(const QString &name)
{
    return s_instance ? s_instance->d->engineNamed(name) : nullptr;
}

QVector<QSharedPointer<BuildContainer>> Sdk::buildContainers()
{
    return s_instance ? s_instance->d->containers : QVector<QSharedPointer<BuildContainer>>();
}

bool Sdk::reload()
{
    return s_instance && s_instance->load();
}

bool Sdk::setSharedSrcPath(BuildEngine *engine,
                           const Utils::FilePath &sharedSrcPath,
                           QString *errorString)
{
    if (!s_instance || !engine) {
        *errorString = tr("No such build engine.");
        return false;
    }
    SdkConfig::Configuration configuration;
    if (!SdkConfig::Configuration::load(installationPath(), &configuration, errorString))
        return false;
    for (SdkConfig::Engine &configured : configuration.engines) {
        if (configured.name != engine->name())
            continue;
        configured.sharedSrcPath = sharedSrcPath.toString();
        if (!configuration.save(errorString))
            return false;
        // Re-read what was written, so that the state is exactly what the file holds.
        return s_instance->load();
    }
    *errorString = tr("The build engine \"%1\" is not in the SDK configuration.").arg(engine->name());
    return false;
}

void Sdk::onConfigurationFileChanged()
{
    watchConfigurationFile();
    load();
}

void Sdk::watchConfigurationFile()
{
    // A file replaced by renaming another over it (an atomic save) drops out of the watcher.
    const QString fileName = SdkConfig::Configuration::filePath(d->installationPath);
    if (QFileInfo::exists(fileName) && !d->watcher.files().contains(fileName))
        d->watcher.addPath(fileName);
}

bool Sdk::load()
{
    SdkConfig::Configuration configuration;
    QString errorString;
    if (!SdkConfig::Configuration::load(d->installationPath, &configuration, &errorString)) {
        reportError(errorString);
        return false;
    }
    apply(configuration);
    return true;
}

void Sdk::apply(const SdkConfig::Configuration &configuration)
{
    d->configuration = configuration;

    QList<BuildEngine *> engines;
    QList<BuildEngine *> movedEngines;
    for (const SdkConfig::Engine &configured : configuration.engines) {
        BuildEngine *engine = d->engineNamed(configured.name);
        if (!engine || engines.contains(engine))
            engine = new BuildEngine(configured.name, this);
        engine->setPath(Utils::FilePath::fromString(configured.path));
        if (engine->setSharedSrcPath(Utils::FilePath::fromString(configured.sharedSrcPath))
            && d->engines.contains(engine)) {
            movedEngines.append(engine);
        }
        engines.append(engine);
    }

    const QList<BuildEngine *> oldEngines = d->engines;
    d->engines = engines;
    d->containers.clear();
    for (const SdkConfig::Container &container : configuration.containers) {
        d->containers.append(QSharedPointer<BuildContainer>::create(container.name,
                                                                    container.engine,
                                                                    Utils::FilePath::fromString(
                                                                        container.runCommand)));
    }

    for (BuildEngine *engine : oldEngines) {
        if (!engines.contains(engine))
            engine->deleteLater();
    }
    if (oldEngines != engines)
        emit buildEnginesChanged();
    for (BuildEngine *engine : movedEngines)
        emit engine->sharedSrcPathChanged(engine->sharedSrcPath());
}

} // namespace Pelk
