#include "headlessbuild.h"

#include "buildconfiguration.h"
#include "buildmanager.h"
#include "project.h"
#include "projectexplorer.h"
#include "session.h"
#include "target.h"

#include <cstdio>

namespace ProjectExplorer {
namespace Internal {

const int parseTimeoutMs = 10 * 60 * 1000;

static void print(FILE *stream, const QString &message)
{
    std::fputs(qPrintable(message + '\n'), stream);
    std::fflush(stream);
}

HeadlessBuild::HeadlessBuild(const QString &projectPath, int settleTimeMs, QObject *parent)
    : QObject(parent)
    , m_projectPath(projectPath)
{
    m_settleTimer.setSingleShot(true);
    m_settleTimer.setInterval(settleTimeMs);
    connect(&m_settleTimer, &QTimer::timeout, this, &HeadlessBuild::build);
    m_parseTimeout.setSingleShot(true);
    m_parseTimeout.setInterval(parseTimeoutMs);
    connect(&m_parseTimeout, &QTimer::timeout, this, [this] {
        end(false, tr("The project was not parsed within %1 minutes.").arg(parseTimeoutMs / 60000));
    });
}

void HeadlessBuild::start()
{
    print(stdout, tr("Opening project \"%1\"...").arg(m_projectPath));
    const ProjectExplorerPlugin::OpenProjectResult result = ProjectExplorerPlugin::openProject(
        m_projectPath);
    m_project = result.project() ? result.project() : result.alreadyOpen();
    if (!m_project) {
        end(false, tr("Cannot open project \"%1\": %2").arg(m_projectPath, result.errorMessage()));
        return;
    }
    Target *target = m_project->activeTarget();
    if (!target) {
        end(false, tr("The project \"%1\" has no target.").arg(m_project->displayName()));
        return;
    }
    // The parse starts from the event loop after opening, so this connection sees its end.
    m_parseConnection = connect(target, &Target::parsingFinished, this, &HeadlessBuild::parsed);
    m_parseTimeout.start();
    if (result.alreadyOpen())
        m_project->requestParse();
}

void HeadlessBuild::parsed(bool success)
{
    disconnect(m_parseConnection);
    m_parseTimeout.stop();
    if (!success) {
        end(false, tr("Parsing the project \"%1\" failed.").arg(m_project->displayName()));
        return;
    }
    m_settleTimer.start();
}

void HeadlessBuild::build()
{
    Target *target = m_project ? m_project->activeTarget() : nullptr;
    BuildConfiguration *configuration = target ? target->activeBuildConfiguration() : nullptr;
    if (!configuration) {
        end(false, tr("The project has no build configuration to build."));
        return;
    }
    print(stdout,
          tr("Building \"%1\" (%2)...").arg(m_project->displayName(), configuration->displayName()));
    m_buildConnection = connect(BuildManager::instance(),
                                &BuildManager::buildQueueFinished,
                                this,
                                [this](bool success) {
                                    end(success,
                                        success ? tr("The build succeeded.")
                                                : tr("The build failed."));
                                });
    if (!BuildManager::buildList(configuration->buildSteps()))
        end(false, tr("The build failed."));
}

void HeadlessBuild::end(bool success, const QString &message)
{
    if (m_ended)
        return;
    m_ended = true;
    disconnect(m_parseConnection);
    disconnect(m_buildConnection);
    m_settleTimer.stop();
    m_parseTimeout.stop();
    print(success ? stdout : stderr, message);
    if (m_project)
        SessionManager::removeProject(m_project);
    emit finished(success);
}

} // namespace Internal
} // namespace ProjectExplorer
