#pragma once

#include "core_global.h"

#include <QString>

namespace Core {

// Host-only: what a headless IDE writes for its user: the build output on standard output, the
// message pane's lines on standard error and, where one of them is a terminal, a status line below
// the output (the build's progress) that the next output pushes down. A stream that is a terminal
// is written at once; one that goes to a pipe or a file is written in batches, at the latest a few
// milliseconds later.
class CORE_EXPORT TerminalOutput
{
public:
    static void writeOutput(const QString &text);
    static void writeMessage(const QString &text);

    // An empty status removes the line. Nothing of it ever reaches a pipe or a file.
    static void setStatus(const QString &status);

    // Writes what is pending now.
    static void flush();
};

} // namespace Core
