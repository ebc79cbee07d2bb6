#include "terminalprompt.h"

#include <cerrno>

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

namespace ProjectExplorer {
namespace Internal {

static void writeAll(int fd, const QByteArray &data)
{
    qint64 done = 0;
    while (done < data.size()) {
        const ssize_t written = ::write(fd, data.constData() + done, size_t(data.size() - done));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return;
        done += written;
    }
}

TerminalPrompt::TerminalPrompt()
    : m_fd(::open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC))
{}

TerminalPrompt::~TerminalPrompt()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

bool TerminalPrompt::isOpen() const
{
    return m_fd >= 0;
}

void TerminalPrompt::writeLine(const QString &text)
{
    if (m_fd >= 0)
        writeAll(m_fd, text.toLocal8Bit() + '\n');
}

bool TerminalPrompt::readHidden(const QString &prompt,
                                QByteArray *answer,
                                const std::function<bool()> &stop)
{
    if (m_fd < 0)
        return false;
    termios saved{};
    const bool canHide = tcgetattr(m_fd, &saved) == 0;
    if (canHide) {
        termios hidden = saved;
        hidden.c_lflag &= tcflag_t(~ECHO);
        hidden.c_lflag |= ECHONL; // the user still sees the end of the line
        tcsetattr(m_fd, TCSAFLUSH, &hidden);
    }
    writeAll(m_fd, prompt.toLocal8Bit());
    const bool ok = readLine(answer, stop);
    if (canHide)
        tcsetattr(m_fd, TCSAFLUSH, &saved);
    if (!ok)
        writeAll(m_fd, "\n");
    return ok;
}

bool TerminalPrompt::readLine(QByteArray *line, const std::function<bool()> &stop)
{
    line->clear();
    line->reserve(1024); // a pass phrase leaves no copies behind in reallocated memory
    char byte = 0;
    for (;;) {
        const ssize_t count = ::read(m_fd, &byte, 1);
        if (count < 0 && errno == EINTR && !stop())
            continue;
        if (count <= 0) {
            line->fill('\0');
            line->clear();
            return false;
        }
        if (byte == '\n')
            break;
        line->append(byte);
    }
    if (line->endsWith('\r'))
        line->chop(1);
    return true;
}

} // namespace Internal
} // namespace ProjectExplorer
