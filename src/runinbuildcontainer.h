#pragma once

#include <QByteArray>
#include <QProcessEnvironment>
#include <QStringList>

#include <functional>

namespace Quillmark {
namespace Internal {

struct RunResult
{
    bool crashed = false;
    int exitCode = 0;
    QByteArray errorOutput;
    QByteArray output;
};

// A run has succeeded when the process did not crash and exited with code 0.
inline bool succeeded(const RunResult &result)
{
    return !result.crashed && result.exitCode == 0;
}

// Called with every new chunk of the process's standard output and error output, and with the
// reason as error output when no process could be started. Bytes appended to input are written
// to the process's standard input; returning false kills the process.
using OutputHandler
    = std::function<bool(const QByteArray &output, const QByteArray &error, QByteArray &input)>;

// Runs command[1..n] through the first build container's run command (command[0] is never run),
// in the workspace folder, and returns when the process has ended.
RunResult runInBuildContainer(OutputHandler handler,
                              QProcessEnvironment environment,
                              const QStringList &command);

} // namespace Internal
} // namespace Quillmark
