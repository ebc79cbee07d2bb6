#pragma once

#include "projectconfiguration.h"
#include "projectexplorer_export.h"

#include <utils/environment.h>
#include <utils/fileutils.h>

#include <QStringList>

namespace ProjectExplorer {

class BuildStepList;
class Target;

// A build configuration of a target: its build and clean step lists, build folder and
// environment. Project types derive from it (the constructor is protected) and hand the
// configurations to Target::addBuildConfiguration(), which takes ownership.
class PROJECTEXPLORER_EXPORT BuildConfiguration : public ProjectConfiguration
{
    Q_OBJECT

protected:
    explicit BuildConfiguration(Target *target, Utils::Id id);

public:
    ~BuildConfiguration() override;

    enum BuildType { Unknown, Debug, Profile, Release };

    Utils::FilePath buildDirectory() const;
    void setBuildDirectory(const Utils::FilePath &dir);

    BuildStepList *buildSteps() const;
    BuildStepList *cleanSteps() const;

    // The base environment (the system's) with the user's changes applied.
    Utils::Environment environment() const;
    Utils::Environment baseEnvironment() const;

    // Host: the user's changes as "NAME=VALUE" (set) or "NAME" (unset) items, applied in order.
    QStringList userEnvironmentChanges() const;
    void setUserEnvironmentChanges(const QStringList &changes);

    virtual BuildType buildType() const;

    bool isActive() const;
    virtual bool isEnabled() const;

    bool fromMap(const QVariantMap &map) override;
    QVariantMap toMap() const override;

signals:
    void environmentChanged();
    void buildDirectoryChanged();
    void enabledChanged();
    void buildTypeChanged();

private:
    BuildStepList *m_buildSteps = nullptr;
    BuildStepList *m_cleanSteps = nullptr;
    Utils::FilePath m_buildDirectory;
    QStringList m_userEnvironmentChanges;
};

} // namespace ProjectExplorer
