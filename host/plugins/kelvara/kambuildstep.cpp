#include "kambuildstep.h"

#include "kamconstants.h"
#include "kampackagesfolder.h"
#include "kamsettings.h"

#include <pelk/buildcontainer.h>
#include <pelk/buildcontainermanager.h>
#include <pelk/buildengine.h>
#include <pelk/sdk.h>
#include <projectexplorer/buildconfiguration.h>
#include <projectexplorer/project.h>

#include <QDir>

#include <algorithm>

namespace Kam {
namespace Internal {

static bool isInside(const QString &path, const QString &folder)
{
    if (folder.isEmpty())
        return false;
    const QString cleanFolder = QDir::cleanPath(folder);
    return path == cleanFolder || path.startsWith(cleanFolder + '/');
}

KamBuildStep::KamBuildStep(ProjectExplorer::BuildStepList *bsl, Utils::Id id)
    : KamProcessStep(bsl, id)
{
    setDefaultDisplayName(displayName());
    setCommandLineProvider([this] { return rpmbuildCommandLine(); });
    setWorkingDirectoryProvider([this] { return project()->projectDirectory(); });
}

KamBuildStep::~KamBuildStep() = default;

Utils::Id KamBuildStep::stepId()
{
    return Constants::KAM_BUILD_STEP_ID;
}

QString KamBuildStep::displayName()
{
    return tr("Kelvara Build");
}

QStringList KamBuildStep::deployablePackagesFileNames() const
{
    return m_packages;
}

bool KamBuildStep::init()
{
    QString errorString;
    if (!checkBuildIsPossible(&errorString)) {
        emit addOutput(errorString, OutputFormat::ErrorMessage);
        return false;
    }
    return KamProcessStep::init(NoInitOption);
}

void KamBuildStep::doRun()
{
    m_packages.clear();
    m_progress = KamRpmbuildProgress();
    // Packages of an earlier build must not be taken for those of this one.
    QString errorString;
    if (!packagesFolder().remove(&errorString)) {
        emit addOutput(errorString, OutputFormat::ErrorMessage);
        KamProcessStep::finish(false);
        return;
    }
    KamProcessStep::doRun();
}

void KamBuildStep::finish(bool success)
{
    if (success) {
        const KamPackagesFolder folder = packagesFolder();
        m_packages = folder.packages();
        if (m_packages.isEmpty()) {
            emit addOutput(tr("The build produced no package in %1.").arg(folder.path()),
                           OutputFormat::ErrorMessage);
            success = false;
        }
    }
    KamProcessStep::finish(success);
}

void KamBuildStep::stdOutput(const QString &output)
{
    if (m_progress.readLine(output))
        emit progress(m_progress.percent(), m_progress.message());
    KamProcessStep::stdOutput(output);
}

Utils::CommandLine KamBuildStep::rpmbuildCommandLine() const
{
    const QVector<QSharedPointer<Pelk::BuildContainer>> containers
        = Pelk::BuildContainerManager::buildContainers();
    const Utils::FilePath runCommand = containers.isEmpty() ? Utils::FilePath()
                                                            : containers.first()->runCommand();
    return Utils::CommandLine(runCommand,
                              {"rpmbuild",
                               "-bb",
                               "--define",
                               "_topdir " + buildDirectory().toString(),
                               "--define",
                               "_sourcedir " + project()->projectDirectory().toString(),
                               project()->projectFilePath().toString()});
}

KamPackagesFolder KamBuildStep::packagesFolder() const
{
    return KamPackagesFolder(KamSettings::workspaceLocation(), buildDirectory().toString());
}

// Only the workspace and the engines' shared source folders are mounted in a build container.
bool KamBuildStep::checkBuildIsPossible(QString *errorString) const
{
    if (Pelk::BuildContainerManager::buildContainers().isEmpty()) {
        *errorString = tr("No build container is configured in the SDK: cannot build.");
        return false;
    }

    const QString workspace = KamSettings::workspaceLocation();
    if (!isInside(buildDirectory().toString(), workspace)) {
        *errorString = tr("The build folder %1 is not inside the workspace %2.")
                           .arg(buildDirectory().toUserOutput(),
                                QDir::toNativeSeparators(workspace));
        return false;
    }

    const QString projectDir = QDir::cleanPath(project()->projectDirectory().toString());
    QStringList sharedFolders{workspace};
    for (Pelk::BuildEngine *engine : Pelk::Sdk::buildEngines())
        sharedFolders.append(engine->sharedSrcPath().toString());
    const bool shared = std::any_of(sharedFolders.cbegin(),
                                    sharedFolders.cend(),
                                    [&projectDir](const QString &folder) {
                                        return isInside(projectDir, folder);
                                    });
    if (!shared) {
        *errorString = tr("The project folder %1 is neither inside the workspace %2 nor inside a "
                          "shared source folder of a build engine, so the build container cannot "
                          "see it. Move the project into the workspace.")
                           .arg(QDir::toNativeSeparators(projectDir),
                                QDir::toNativeSeparators(workspace));
        return false;
    }
    return true;
}

} // namespace Internal
} // namespace Kam
