#pragma once

#include <QString>

// Builds small RPM packages with rpmbuild, as the platform's build does.
class TestPackages
{
public:
    explicit TestPackages(const QString &directory);

    enum class Payload { Random, Zeros };

    // A noarch package holding one file of payloadSize bytes, uncompressed; empty on failure.
    QString build(const QString &name, qint64 payloadSize, Payload payload = Payload::Random);
    QString errorString() const { return m_error; }

private:
    QString m_directory;
    QString m_error;
};
