#include "interruptwatcher.h"

#include <utils/qtcassert.h>

#include <QSocketNotifier>

#include <csignal>

#include <fcntl.h>
#include <unistd.h>

namespace ProjectExplorer {
namespace Internal {

namespace {

int signalPipe[2] = {-1, -1};
volatile sig_atomic_t interruptedFlag = 0;
const int watchedSignals[] = {SIGINT, SIGTERM};

void handleSignal(int signalNumber)
{
    interruptedFlag = 1;
    const char byte = char(signalNumber);
    const ssize_t written = ::write(signalPipe[1], &byte, 1);
    (void) written; // a full pipe holds enough signals already
}

} // namespace

InterruptWatcher::InterruptWatcher(QObject *parent)
    : QObject(parent)
{
    QTC_ASSERT(signalPipe[0] < 0, return );
    if (::pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    interruptedFlag = 0;
    m_notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &InterruptWatcher::readSignal);

    struct sigaction action = {};
    action.sa_handler = handleSignal;
    sigemptyset(&action.sa_mask);
    // No SA_RESTART: a blocking read of the terminal returns, so that the build can stop.
    action.sa_flags = SA_RESETHAND;
    for (int signalNumber : watchedSignals)
        sigaction(signalNumber, &action, nullptr);
}

InterruptWatcher::~InterruptWatcher()
{
    if (!m_notifier)
        return; // another watcher owns the handlers
    for (int signalNumber : watchedSignals)
        std::signal(signalNumber, SIG_DFL);
    delete m_notifier;
    ::close(signalPipe[0]);
    ::close(signalPipe[1]);
    signalPipe[0] = signalPipe[1] = -1;
}

bool InterruptWatcher::isInterrupted()
{
    return interruptedFlag != 0;
}

void InterruptWatcher::readSignal()
{
    char byte = 0;
    while (::read(signalPipe[0], &byte, 1) == 1)
        emit interrupted(byte == SIGINT ? QString("SIGINT") : QString("SIGTERM"));
}

} // namespace Internal
} // namespace ProjectExplorer
