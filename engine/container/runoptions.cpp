#include "runoptions.h"

#include <QFile>

namespace KelvaraRun {

RunOptions RunOptions::parse(int argc, char **argv)
{
    RunOptions options;
    int i = 1;
    for (; i < argc; ++i) {
        const QByteArray word(argv[i]);
        if (word == "--")
            break;
        if (word == "-h" || word == "--help") {
            options.m_helpRequested = true;
            return options;
        }
        if (!options.takeOption(word, i + 1 < argc ? argv[++i] : nullptr))
            return options;
    }
    for (++i; i < argc; ++i)
        options.m_command.append(QByteArray(argv[i]));

    if (options.m_sdkDir.isEmpty())
        options.m_errorString = QStringLiteral("No SDK folder given (--sdk DIR).");
    else if (options.m_containerName.isEmpty())
        options.m_errorString = QStringLiteral("No build container given (--container NAME).");
    else if (options.m_command.isEmpty())
        options.m_errorString = QStringLiteral("No command given after \"--\".");
    return options;
}

bool RunOptions::takeOption(const QByteArray &name, const char *value)
{
    QString *target = nullptr;
    if (name == "--sdk")
        target = &m_sdkDir;
    else if (name == "--container")
        target = &m_containerName;

    if (!target) {
        m_errorString = QStringLiteral("Unknown option \"%1\" (the command follows \"--\").")
                            .arg(QFile::decodeName(name));
        return false;
    }
    if (!value) {
        m_errorString = QStringLiteral("Option %1 needs a value.").arg(QFile::decodeName(name));
        return false;
    }
    *target = QFile::decodeName(value);
    return true;
}

QString RunOptions::usage()
{
    return QStringLiteral(
        "Usage: kelvara-run --sdk DIR --container NAME -- TOOL [ARGS...]\n"
        "Runs TOOL inside the build container NAME of the SDK in DIR.\n"
        "Standard input, output, error and the exit code are those of TOOL.\n"
        "Exit codes of kelvara-run itself: 125 the container cannot be set up,\n"
        "126 TOOL cannot be executed, 127 TOOL was not found in the container.\n");
}

} // namespace KelvaraRun
