#pragma once

#include <QByteArrayList>
#include <QString>

namespace KelvaraRun {

// The command line "kelvara-run --sdk DIR --container NAME -- TOOL [ARGS...]".
// The tool's words are kept as the raw bytes they came in.
class RunOptions
{
public:
    static RunOptions parse(int argc, char **argv);
    static QString usage();

    bool isValid() const { return m_errorString.isEmpty(); }
    QString errorString() const { return m_errorString; }
    bool helpRequested() const { return m_helpRequested; }

    QString sdkDir() const { return m_sdkDir; }
    QString containerName() const { return m_containerName; }
    QByteArrayList command() const { return m_command; }

private:
    bool takeOption(const QByteArray &name, const char *value);

    QString m_sdkDir;
    QString m_containerName;
    QByteArrayList m_command;
    QString m_errorString;
    bool m_helpRequested = false;
};

} // namespace KelvaraRun
