#include "kamproject.h"

#include "kambuildconfiguration.h"
#include "kamconstants.h"

#include <coreplugin/messagemanager.h>
#include <projectexplorer/deployconfiguration.h>
#include <projectexplorer/kitmanager.h>
#include <projectexplorer/target.h>

#include <QTimer>

namespace Kam {
namespace Internal {

using namespace ProjectExplorer;

KamProject::KamProject(const Utils::FilePath &specFile)
    : Project(Constants::KAM_PROJECT_MIMETYPE, specFile)
{
    setId(Constants::KAM_PROJECT_ID);
    setDisplayName(specFile.toFileInfo().completeBaseName());

    Kit *kit = KitManager::kit(Constants::KAM_KIT_ID);
    if (!kit)
        return;
    Target *target = addTargetForKit(kit);
    target->addBuildConfiguration(new KamBuildConfiguration(target, BuildConfiguration::Debug));
    target->addBuildConfiguration(new KamBuildConfiguration(target, BuildConfiguration::Release));
    target->addDeployConfiguration(
        new DeployConfiguration(target, Constants::KAM_DEPLOY_CONFIGURATION_ID));
}

void KamProject::requestParse()
{
    for (Target *target : targets())
        target->emitParsingStarted();
    QTimer::singleShot(0, this, &KamProject::parse);
}

void KamProject::parse()
{
    KamSpecFile specFile;
    QString errorString;
    const bool success = specFile.read(projectFilePath().toString(), &errorString);
    if (success)
        m_specFile = specFile;
    else
        Core::MessageManager::writeFlashing(tr("Cannot parse the project: %1").arg(errorString));
    for (Target *target : targets())
        target->emitParsingFinished(success);
}

} // namespace Internal
} // namespace Kam
