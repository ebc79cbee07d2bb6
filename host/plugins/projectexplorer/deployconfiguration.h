#pragma once

#include "projectconfiguration.h"
#include "projectexplorer_export.h"

namespace ProjectExplorer {

class BuildStepList;
class Target;

// A deploy configuration: one step list of id Constants::BUILDSTEPS_DEPLOY.
class PROJECTEXPLORER_EXPORT DeployConfiguration final : public ProjectConfiguration
{
    Q_OBJECT

public:
    // Host: project types make their deploy configurations directly and hand them to
    // Target::addDeployConfiguration(), which takes ownership.
    explicit DeployConfiguration(Target *target, Utils::Id id);
    ~DeployConfiguration() override;

    BuildStepList *stepList();
    const BuildStepList *stepList() const;

    bool isActive() const;

    bool fromMap(const QVariantMap &map) override;
    QVariantMap toMap() const override;

private:
    BuildStepList *m_stepList = nullptr;
};

} // namespace ProjectExplorer
