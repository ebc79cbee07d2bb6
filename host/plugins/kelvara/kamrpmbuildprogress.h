#pragma once

#include <QCoreApplication>
#include <QString>

namespace Kam {
namespace Internal {

// How far an rpmbuild run has got, read from the lines of its standard output: the sections
// it executes (%prep, %build, %install, %check, %clean), the packages it assembles
// ("Processing files: ...") and writes ("Wrote: ...").
class KamRpmbuildProgress
{
    Q_DECLARE_TR_FUNCTIONS(Kam::Internal::KamRpmbuildProgress)

public:
    // Reads one line; true when it tells of a further stage: percent() and message() say which.
    bool readLine(const QString &line);

    int percent() const { return m_percent; }
    QString message() const { return m_message; }

private:
    bool moveTo(int percent, const QString &message);

    int m_packagesProcessed = 0;
    int m_packagesWritten = 0;
    int m_percent = 0;
    QString m_message;
};

} // namespace Internal
} // namespace Kam
