#pragma once

#include "projectexplorer_export.h"

#include <utils/id.h>

#include <QList>
#include <QObject>
#include <QVariantMap>

namespace ProjectExplorer {

class BuildConfiguration;
class DeployConfiguration;
class Kit;
class Project;

// A project built with one kit. Host: made by Project::addTargetForKit(); the project type then
// adds its build and deploy configurations (the first one added becomes the active one).
class PROJECTEXPLORER_EXPORT Target : public QObject
{
    Q_OBJECT

public:
    Target(Project *parent, Kit *k);
    ~Target() override;

    Project *project() const;
    Kit *kit() const;

    Utils::Id id() const;
    QString displayName() const;

    bool isActive() const;

    void addBuildConfiguration(BuildConfiguration *bc);
    bool removeBuildConfiguration(BuildConfiguration *bc);
    const QList<BuildConfiguration *> buildConfigurations() const;
    BuildConfiguration *activeBuildConfiguration() const;
    void setActiveBuildConfiguration(BuildConfiguration *configuration);

    void addDeployConfiguration(DeployConfiguration *dc);
    bool removeDeployConfiguration(DeployConfiguration *dc);
    const QList<DeployConfiguration *> deployConfigurations() const;
    DeployConfiguration *activeDeployConfiguration() const;
    void setActiveDeployConfiguration(DeployConfiguration *configuration);

    // Host: the project type reports its parse with these; each emits the target's signal and
    // the project's anyParsingStarted/anyParsingFinished.
    void emitParsingStarted();
    void emitParsingFinished(bool success);
    bool isParsing() const;

    QVariantMap toMap() const;
    // Applies saved settings to the configurations the project type made: the n-th saved
    // configuration to the n-th configuration when their ids agree.
    bool fromMap(const QVariantMap &map);

signals:
    void parsingStarted();
    void parsingFinished(bool success);

    void addedBuildConfiguration(ProjectExplorer::BuildConfiguration *bc);
    void removedBuildConfiguration(ProjectExplorer::BuildConfiguration *bc);
    void activeBuildConfigurationChanged(ProjectExplorer::BuildConfiguration *);
    void buildEnvironmentChanged(ProjectExplorer::BuildConfiguration *bc);

    void addedDeployConfiguration(ProjectExplorer::DeployConfiguration *dc);
    void removedDeployConfiguration(ProjectExplorer::DeployConfiguration *dc);
    void activeDeployConfigurationChanged(ProjectExplorer::DeployConfiguration *dc);

private:
    void restoreBuildConfigurations(const QVariantMap &map);
    void restoreDeployConfigurations(const QVariantMap &map);

    Kit *m_kit = nullptr;
    QList<BuildConfiguration *> m_buildConfigurations;
    BuildConfiguration *m_activeBuildConfiguration = nullptr;
    QList<DeployConfiguration *> m_deployConfigurations;
    DeployConfiguration *m_activeDeployConfiguration = nullptr;
    bool m_isParsing = false;
};

} // namespace ProjectExplorer
