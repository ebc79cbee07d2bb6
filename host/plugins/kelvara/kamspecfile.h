#pragma once

#include <QString>
#include <QStringList>

namespace Kam {
namespace Internal {

// What the project knows of its RPM spec file.
class KamSpecFile
{
public:
    // Reads the preamble tags and the sub-packages; false with a reason when the file cannot be
    // read or names no package.
    bool read(const QString &fileName, QString *errorString);

    QString name() const { return m_name; }
    QString version() const { return m_version; }
    QString release() const { return m_release; }
    QString buildArch() const { return m_buildArch; }
    // Full names of the packages the spec file builds: the main package first.
    QStringList packageNames() const { return m_packageNames; }

private:
    void readLine(const QString &line);

    QString m_name;
    QString m_version;
    QString m_release;
    QString m_buildArch;
    QStringList m_subPackages;
    QStringList m_packageNames;
    bool m_preambleEnded = false;
};

} // namespace Internal
} // namespace Kam
