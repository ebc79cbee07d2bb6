#pragma once

#include <utils/fileutils.h>

#include <QVariantMap>

namespace ProjectExplorer {
namespace Internal {

// The file beside a project that keeps its settings, as JSON. Writing replaces the file
// atomically, so a crash never leaves a half-written or empty settings file behind.
class UserSettingsFile
{
public:
    explicit UserSettingsFile(const Utils::FilePath &filePath);

    bool exists() const;
    // The saved settings; false with a message when the file cannot be read or is not valid.
    bool read(QVariantMap *settings, QString *errorMessage) const;
    bool write(const QVariantMap &settings, QString *errorMessage) const;
    // Moves an unreadable file out of the way so that the next write cannot destroy it.
    bool moveAside(QString *backupPath) const;

private:
    const Utils::FilePath m_filePath;
};

} // namespace Internal
} // namespace ProjectExplorer
