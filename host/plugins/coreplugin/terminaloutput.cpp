#include "terminaloutput.h"

#include <QCoreApplication>
#include <QTimer>

#include <cerrno>
#include <cstdio>

#include <sys/ioctl.h>
#include <unistd.h>

namespace Core {

namespace {

const int batchIntervalMs = 20;
const int maxPendingBytes = 64 * 1024;

struct Stream
{
    explicit Stream(int fd)
        : fd(fd)
        , isTerminal(isatty(fd) == 1)
    {}

    const int fd;
    const bool isTerminal;
    QByteArray pending;
};

struct Terminal
{
    Stream out{STDOUT_FILENO};
    Stream err{STDERR_FILENO};
    // The status line goes where the user looks: standard error, else standard output.
    Stream *statusStream = err.isTerminal ? &err : out.isTerminal ? &out : nullptr;
    QString status;
    bool statusShown = false;
    bool flushScheduled = false;
};

Terminal &terminal()
{
    static Terminal instance;
    return instance;
}

void writeAll(int fd, const QByteArray &data)
{
    const char *next = data.constData();
    qint64 left = data.size();
    while (left > 0) {
        const ssize_t written = ::write(fd, next, size_t(left));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return; // a closed pipe: nobody reads any more
        next += written;
        left -= written;
    }
}

void writePending(Stream &stream)
{
    if (stream.pending.isEmpty())
        return;
    std::fflush(stream.fd == STDOUT_FILENO ? stdout : stderr);
    writeAll(stream.fd, stream.pending);
    stream.pending.clear();
}

int terminalWidth(int fd)
{
    winsize size{};
    if (ioctl(fd, TIOCGWINSZ, &size) == 0 && size.ws_col > 1)
        return size.ws_col;
    return 80;
}

void hideStatus()
{
    Terminal &t = terminal();
    if (!t.statusShown)
        return;
    writeAll(t.statusStream->fd, "\r\033[K");
    t.statusShown = false;
}

void showStatus()
{
    Terminal &t = terminal();
    if (!t.statusStream || t.statusShown || t.status.isEmpty())
        return;
    // One line that never wraps, so that the next one can overwrite it.
    const QString line = t.status.left(terminalWidth(t.statusStream->fd) - 1);
    writeAll(t.statusStream->fd, '\r' + line.toLocal8Bit() + "\033[K");
    t.statusShown = true;
}

void scheduleFlush()
{
    Terminal &t = terminal();
    if (t.flushScheduled)
        return;
    if (!QCoreApplication::instance()) {
        TerminalOutput::flush();
        return;
    }
    t.flushScheduled = true;
    QTimer::singleShot(batchIntervalMs, QCoreApplication::instance(), &TerminalOutput::flush);
}

void write(Stream &stream, const QString &text)
{
    static const bool flushesAtExit = [] {
        qAddPostRoutine([] {
            TerminalOutput::setStatus(QString());
            TerminalOutput::flush();
        });
        return true;
    }();
    Q_UNUSED(flushesAtExit)

    stream.pending.append(text.toLocal8Bit());
    if (stream.isTerminal) {
        hideStatus();
        writePending(stream);
        scheduleFlush(); // brings the status line back
    } else if (stream.pending.size() >= maxPendingBytes) {
        writePending(stream);
    } else {
        scheduleFlush();
    }
}

} // namespace

void TerminalOutput::writeOutput(const QString &text)
{
    write(terminal().out, text);
}

void TerminalOutput::writeMessage(const QString &text)
{
    write(terminal().err, text);
}

void TerminalOutput::setStatus(const QString &status)
{
    Terminal &t = terminal();
    if (!t.statusStream || status == t.status)
        return;
    hideStatus();
    t.status = status;
    showStatus();
}

void TerminalOutput::flush()
{
    Terminal &t = terminal();
    t.flushScheduled = false;
    writePending(t.out);
    writePending(t.err);
    showStatus();
}

} // namespace Core
