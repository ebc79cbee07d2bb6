#pragma once

#include "pelk_global.h"

#include <utils/fileutils.h>

#include <QList>
#include <QObject>
#include <QSharedPointer>
#include <QVector>

#include <memory>

namespace SdkConfig {
struct Configuration;
}

namespace Pelk {

class BuildContainer;
class BuildEngine;
class SdkPrivate;
namespace Internal {
class PelkPlugin;
}

// The SDK installation: where it is, its build engines and build containers, read from the
// SDK configuration file (sdk.json) in the folder named by KELVARA_SDK_DIR. The SDK watches the
// file and re-reads it when it changes.
class PELK_EXPORT Sdk : public QObject
{
    Q_OBJECT

public:
    ~Sdk() override;

    static Sdk *instance();

    static QString installationPath();
    static QList<BuildEngine *> buildEngines();

    // Host-only extras, for the IDE and the tests.
    static QString workspacePath();
    static BuildEngine *buildEngine(const QString &name);
    static QVector<QSharedPointer<BuildContainer>> buildContainers();
    // Re-reads the configuration at once. On failure the last good configuration stays and the
    // reason is reported; returns whether the file was read.
    static bool reload();
    // Stores a new shared source folder for the engine in sdk.json and applies it.
    static bool setSharedSrcPath(BuildEngine *engine,
                                 const Utils::FilePath &sharedSrcPath,
                                 QString *errorString);

signals:
    void buildEnginesChanged();

private:
    friend class Internal::PelkPlugin;
    explicit Sdk(const QString &installationPath, QObject *parent = nullptr);

    void onConfigurationFileChanged();
    void watchConfigurationFile();
    bool load();
    void apply(const SdkConfig::Configuration &configuration);

    std::unique_ptr<SdkPrivate> d;
};

} // namespace Pelk
