#include "pelkplugin.h"

#include "buildenginesdialog.h"
#include "sdk.h"

#include <coreplugin/actionmanager/actioncontainer.h>
#include <coreplugin/actionmanager/actionmanager.h>
#include <coreplugin/actionmanager/command.h>
#include <coreplugin/coreconstants.h>
#include <coreplugin/icontext.h>
#include <coreplugin/icore.h>
#include <utils/qtcassert.h>

#include <QAction>
#include <QDir>

namespace Pelk {
namespace Internal {

const char BUILD_ENGINES_ACTION_ID[] = "Pelk.BuildEngines";

PelkPlugin::PelkPlugin() = default;

PelkPlugin::~PelkPlugin()
{
    delete m_sdk;
}

bool PelkPlugin::initialize(const QStringList &arguments, QString *errorString)
{
    Q_UNUSED(arguments)
    Q_UNUSED(errorString)

    const QString sdkDir = qEnvironmentVariable("KELVARA_SDK_DIR");
    m_sdk = new Sdk(sdkDir.isEmpty() ? QString() : QDir::cleanPath(QDir(sdkDir).absolutePath()));
    registerBuildEnginesAction();
    return true;
}

void PelkPlugin::registerBuildEnginesAction()
{
    auto action = new QAction(tr("Build &Engines..."), this);
    connect(action, &QAction::triggered, this, &PelkPlugin::showBuildEnginesDialog);
    Core::Command *command = Core::ActionManager::registerAction(action,
                                                                 BUILD_ENGINES_ACTION_ID,
                                                                 Core::Context(
                                                                     Core::Constants::C_GLOBAL));
    Core::ActionContainer *toolsMenu = Core::ActionManager::actionContainer(
        Core::Constants::M_TOOLS);
    QTC_ASSERT(toolsMenu, return );
    toolsMenu->addAction(command);
}

void PelkPlugin::showBuildEnginesDialog()
{
    BuildEnginesDialog dialog(Core::ICore::dialogParent());
    dialog.exec();
}

} // namespace Internal
} // namespace Pelk
