#pragma once

#include <QByteArray>
#include <QString>

#include <functional>

namespace ProjectExplorer {
namespace Internal {

// The controlling terminal of the process (/dev/tty), to ask questions whose answers must not be
// echoed. isOpen() is false for a process without one (started by a service, or with setsid).
class TerminalPrompt
{
public:
    TerminalPrompt();
    ~TerminalPrompt();

    TerminalPrompt(const TerminalPrompt &) = delete;
    TerminalPrompt &operator=(const TerminalPrompt &) = delete;

    bool isOpen() const;
    void writeLine(const QString &text);

    // Shows the prompt and reads one line with echo off. False at the end of the input, on an
    // error, or when a signal broke the read off and stop() says so.
    bool readHidden(const QString &prompt, QByteArray *answer, const std::function<bool()> &stop);

private:
    bool readLine(QByteArray *line, const std::function<bool()> &stop);

    int m_fd = -1;
};

} // namespace Internal
} // namespace ProjectExplorer
