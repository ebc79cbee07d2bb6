#pragma once

#include "pelk_global.h"

#include <utils/fileutils.h>

#include <QObject>

namespace Pelk {

class Sdk;

// A build engine of the SDK. Engines are owned by the SDK and keep their identity (by
// name) across reloads of the SDK configuration.
class PELK_EXPORT BuildEngine : public QObject
{
    Q_OBJECT

public:
    ~BuildEngine() override;

    QString name() const;
    // The engine's own folder, seen inside its containers as /etc/keys/public.
    Utils::FilePath path() const;
    // The host folder that the engine shares with its containers as its source folder.
    Utils::FilePath sharedSrcPath() const;

signals:
    void sharedSrcPathChanged(const Utils::FilePath &sharedSrcPath);

private:
    friend class Sdk;
    BuildEngine(const QString &name, QObject *parent);

    void setPath(const Utils::FilePath &path);
    // Returns whether the folder changed; the SDK emits the signal once its state is whole.
    bool setSharedSrcPath(const Utils::FilePath &sharedSrcPath);

    QString m_name;
    Utils::FilePath m_path;
    Utils::FilePath m_sharedSrcPath;
};

} // namespace Pelk
