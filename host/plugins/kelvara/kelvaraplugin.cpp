#include "kelvaraplugin.h"

#include "kambuildstepfactory.h"
#include "kamconstants.h"
#include "kamproject.h"

#include <coreplugin/actionmanager/actioncontainer.h>
#include <coreplugin/actionmanager/actionmanager.h>
#include <coreplugin/coreconstants.h>
#include <projectexplorer/kit.h>
#include <projectexplorer/kitinformation.h>
#include <projectexplorer/kitmanager.h>
#include <projectexplorer/projectmanager.h>
#include <utils/qtcassert.h>

#include <QMenu>

namespace Kam {
namespace Internal {

KelvaraPlugin::KelvaraPlugin() = default;

KelvaraPlugin::~KelvaraPlugin()
{
    ProjectExplorer::ProjectManager::unregisterProjectType(Constants::KAM_PROJECT_MIMETYPE);
}

bool KelvaraPlugin::initialize(const QStringList &arguments, QString *errorString)
{
    Q_UNUSED(arguments)
    Q_UNUSED(errorString)

    registerKit();
    ProjectExplorer::ProjectManager::registerProjectType<KamProject>(
        Constants::KAM_PROJECT_MIMETYPE, Constants::KAM_PROJECT_FILE_SUFFIX);
    m_buildStepFactory = std::make_unique<KamBuildStepFactory>();
    createToolsMenu();
    return true;
}

void KelvaraPlugin::registerKit()
{
    ProjectExplorer::KitManager::registerKit(
        [](ProjectExplorer::Kit *kit) {
            kit->setUnexpandedDisplayName(tr("Kelvara Platform"));
            ProjectExplorer::DeviceTypeKitAspect::setDeviceTypeId(kit, Constants::KAM_DEVICE_TYPE);
        },
        Constants::KAM_KIT_ID);
}

void KelvaraPlugin::createToolsMenu()
{
    Core::ActionContainer *menu = Core::ActionManager::createMenu(Constants::KAM_TOOLS_MENU);
    menu->menu()->setTitle(tr("&Kelvara"));
    Core::ActionContainer *menuBar = Core::ActionManager::actionContainer(Core::Constants::MENU_BAR);
    QTC_ASSERT(menuBar, return );
    menuBar->addMenu(menu, Core::Constants::G_TOOLS);
}

} // namespace Internal
} // namespace Kam
