#pragma once

#include "pelk_global.h"

#include <utils/fileutils.h>

namespace Pelk {

// A build container of a build engine: every platform tool runs inside one.
class PELK_EXPORT BuildContainer
{
public:
    BuildContainer(const QString &name,
                   const QString &engineName,
                   const Utils::FilePath &runCommand);

    QString name() const;
    QString engineName() const;
    // The host program that runs its arguments (the tool's name first) inside the container,
    // passing the standard streams and the exit code through.
    Utils::FilePath runCommand() const;

private:
    QString m_name;
    QString m_engineName;
    Utils::FilePath m_runCommand;
};

} // namespace Pelk
