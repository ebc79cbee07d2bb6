#pragma once

#include <QObject>
#include <QPointer>
#include <QTimer>

namespace ProjectExplorer {

class Project;

namespace Internal {

// Builds a project without user interaction: opens it, waits for its active target's parse and
// then until the project has settled (no parse follower of the project, see
// Project::addParseFollower(), has a timer running, e.g. a listener that inserts steps a while
// after the parse), builds the active build configuration, closes the project (saving its
// settings) and reports the outcome. No further parse comes in a headless build, so a follower
// that waits for the end of a burst of parses need not wait: the timers that the followers have
// running after the parse are delivered at once, and only what they start then is waited for.
// On a terminal, the build's progress shows below the output.
class HeadlessBuild : public QObject
{
    Q_OBJECT

public:
    explicit HeadlessBuild(const QString &projectPath, QObject *parent = nullptr);

    void start();
    // Stops the build the way the Cancel action does; the outcome is a failure.
    void cancel(const QString &reason);
    // The build fails, whatever its steps report, for the reason given.
    void fail(const QString &reason);

signals:
    void finished(bool success);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void parsed(bool success);
    void queueSettleCheck();
    void buildWhenSettled();
    QList<QObject *> objectsWithTimers() const;
    void deliverRunningTimers(const QList<QObject *> &objects);
    void stopWatching();
    void disconnectAll();
    void build();
    void buildFinished(bool success);
    void end(bool success, const QString &message);

    const QString m_projectPath;
    QPointer<Project> m_project;
    QTimer m_parseTimeout;
    QList<QPointer<QObject>> m_watchedObjects;
    QList<QMetaObject::Connection> m_connections;
    bool m_settleCheckQueued = false;
    bool m_timersDelivered = false;
    bool m_canceled = false;
    bool m_failed = false;
    bool m_ended = false;
};

} // namespace Internal
} // namespace ProjectExplorer
