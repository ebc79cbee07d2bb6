#pragma once

#include <QString>

// Builds with rpmbuild in directory, as the platform's build does, a noarch package holding one
// file of payloadSize bytes read from source, uncompressed. Returns the package, or an empty
// string with rpmbuild's report added to *error.
QString buildTestPackage(const QString &directory,
                         const QString &name,
                         qint64 payloadSize,
                         QString *error,
                         const QString &source = "/dev/urandom");
