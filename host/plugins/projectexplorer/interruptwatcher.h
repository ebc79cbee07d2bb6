#pragma once

#include <QObject>

QT_BEGIN_NAMESPACE
class QSocketNotifier;
QT_END_NAMESPACE

namespace ProjectExplorer {
namespace Internal {

// Turns SIGINT and SIGTERM into the signal interrupted(), delivered by the event loop (the signal
// handler only writes to a pipe). A second such signal ends the process the default way, so that
// a build that does not stop can still be ended. One watcher at a time; its destruction restores
// the default handling.
class InterruptWatcher : public QObject
{
    Q_OBJECT

public:
    explicit InterruptWatcher(QObject *parent = nullptr);
    ~InterruptWatcher() override;

    // True from the arrival of a signal on, also before interrupted() is delivered, e.g. for a
    // blocking read that a signal has broken off.
    static bool isInterrupted();

signals:
    void interrupted(const QString &signalName);

private:
    void readSignal();

    QSocketNotifier *m_notifier = nullptr;
};

} // namespace Internal
} // namespace ProjectExplorer
