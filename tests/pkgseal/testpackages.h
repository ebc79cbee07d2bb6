#pragma once

#include <QString>

// Builds small RPM packages with rpmbuild, as the platform's build does.
class TestPackages
{
public:
    explicit TestPackages(const QString &directory);

    // A noarch package holding one file of payloadSize random bytes; empty on failure.
    QString build(const QString &name, qint64 payloadSize);
    QString errorString() const { return m_error; }

private:
    QString m_directory;
    QString m_error;
};
