#include "headlessbuild.h"

#include "buildconfiguration.h"
#include "buildmanager.h"
#include "project.h"
#include "projectexplorer.h"
#include "session.h"
#include "target.h"

#include <coreplugin/terminaloutput.h>

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QEvent>
#include <QTimerEvent>

namespace ProjectExplorer {
namespace Internal {

const int parseTimeoutMs = 10 * 60 * 1000;

static void printOutput(const QString &message)
{
    Core::TerminalOutput::writeOutput(message + '\n');
}

static void printError(const QString &message)
{
    Core::TerminalOutput::writeMessage(message + '\n');
}

HeadlessBuild::HeadlessBuild(const QString &projectPath, QObject *parent)
    : QObject(parent)
    , m_projectPath(projectPath)
{
    m_parseTimeout.setSingleShot(true);
    m_parseTimeout.setInterval(parseTimeoutMs);
    connect(&m_parseTimeout, &QTimer::timeout, this, [this] {
        end(false, tr("The project was not parsed within %1 minutes.").arg(parseTimeoutMs / 60000));
    });
}

void HeadlessBuild::start()
{
    printOutput(tr("Opening project \"%1\"...").arg(m_projectPath));
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
    m_connections << connect(target, &Target::parsingFinished, this, &HeadlessBuild::parsed);
    m_parseTimeout.start();
    if (result.alreadyOpen())
        m_project->requestParse();
}

void HeadlessBuild::cancel(const QString &reason)
{
    if (m_ended)
        return;
    printError(reason);
    m_canceled = true;
    if (BuildManager::isBuilding())
        BuildManager::cancel(); // the end of the build ends this
    else
        end(false, tr("The build was canceled."));
}

void HeadlessBuild::fail(const QString &reason)
{
    printError(reason);
    m_failed = true;
}

bool HeadlessBuild::eventFilter(QObject *watched, QEvent *event)
{
    // A timer of a parse follower went off: once the follower has handled it, look again.
    if (event->type() == QEvent::Timer && m_watchedObjects.contains(watched))
        queueSettleCheck();
    return false;
}

void HeadlessBuild::parsed(bool success)
{
    disconnectAll();
    m_parseTimeout.stop();
    if (!success) {
        end(false, tr("Parsing the project \"%1\" failed.").arg(m_project->displayName()));
        return;
    }
    // Queued: every other receiver of the parse has reacted to it by then.
    queueSettleCheck();
}

void HeadlessBuild::queueSettleCheck()
{
    if (m_settleCheckQueued)
        return;
    m_settleCheckQueued = true;
    QMetaObject::invokeMethod(this, &HeadlessBuild::buildWhenSettled, Qt::QueuedConnection);
}

void HeadlessBuild::buildWhenSettled()
{
    m_settleCheckQueued = false;
    if (m_ended || !m_project)
        return;
    const QList<QObject *> busy = objectsWithTimers();
    if (busy.isEmpty()) {
        build();
        return;
    }
    if (!m_timersDelivered) {
        m_timersDelivered = true;
        deliverRunningTimers(busy);
        queueSettleCheck();
        return;
    }
    for (QObject *object : busy) {
        if (!m_watchedObjects.contains(object)) {
            object->installEventFilter(this);
            m_watchedObjects.append(object);
        }
    }
}

// The parse followers, and their children, that have a timer running.
QList<QObject *> HeadlessBuild::objectsWithTimers() const
{
    QAbstractEventDispatcher *dispatcher = QAbstractEventDispatcher::instance(thread());
    QList<QObject *> busy;
    for (QObject *follower : m_project->parseFollowers()) {
        const QList<QObject *> objects = QList<QObject *>{follower}
                                         + follower->findChildren<QObject *>();
        for (QObject *object : objects) {
            if (!dispatcher->registeredTimers(object).isEmpty())
                busy.append(object);
        }
    }
    return busy;
}

// Each timer is delivered once, as if it had gone off; a follower that keeps it, or starts another,
// is then waited for.
void HeadlessBuild::deliverRunningTimers(const QList<QObject *> &objects)
{
    // A follower may delete some of the objects while it handles its timer.
    const QList<QPointer<QObject>> guarded(objects.cbegin(), objects.cend());
    QAbstractEventDispatcher *dispatcher = QAbstractEventDispatcher::instance(thread());
    for (const QPointer<QObject> &object : guarded) {
        if (!object)
            continue;
        for (const QAbstractEventDispatcher::TimerInfo &timer :
             dispatcher->registeredTimers(object)) {
            QTimerEvent event(timer.timerId);
            if (object)
                QCoreApplication::sendEvent(object, &event);
        }
    }
}

void HeadlessBuild::stopWatching()
{
    for (const QPointer<QObject> &object : qAsConst(m_watchedObjects)) {
        if (object)
            object->removeEventFilter(this);
    }
    m_watchedObjects.clear();
}

void HeadlessBuild::disconnectAll()
{
    for (const QMetaObject::Connection &connection : qAsConst(m_connections))
        disconnect(connection);
    m_connections.clear();
}

void HeadlessBuild::build()
{
    stopWatching();
    Target *target = m_project->activeTarget();
    BuildConfiguration *configuration = target ? target->activeBuildConfiguration() : nullptr;
    if (!configuration) {
        end(false, tr("The project has no build configuration to build."));
        return;
    }
    printOutput(
        tr("Building \"%1\" (%2)...").arg(m_project->displayName(), configuration->displayName()));
    m_connections << connect(BuildManager::instance(),
                             &BuildManager::buildQueueFinished,
                             this,
                             &HeadlessBuild::buildFinished)
                  << connect(BuildManager::instance(),
                             &BuildManager::buildProgress,
                             this,
                             [](int percent, const QString &text) {
                                 Core::TerminalOutput::setStatus(
                                     QString("[%1%] %2").arg(percent, 3).arg(text));
                             });
    if (!BuildManager::buildList(configuration->buildSteps()))
        end(false, tr("The build failed."));
}

void HeadlessBuild::buildFinished(bool success)
{
    if (m_canceled)
        end(false, tr("The build was canceled."));
    else if (success && !m_failed)
        end(true, tr("The build succeeded."));
    else
        end(false, tr("The build failed."));
}

void HeadlessBuild::end(bool success, const QString &message)
{
    if (m_ended)
        return;
    m_ended = true;
    disconnectAll();
    stopWatching();
    m_parseTimeout.stop();
    Core::TerminalOutput::setStatus(QString());
    if (success)
        printOutput(message);
    else
        printError(message);
    if (m_project)
        SessionManager::removeProject(m_project);
    Core::TerminalOutput::flush();
    emit finished(success);
}

} // namespace Internal
} // namespace ProjectExplorer
