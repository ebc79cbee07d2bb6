#pragma once

#include <QCoreApplication>
#include <QStringList>

#include <functional>

namespace Kam {
namespace Internal {

// The packages folder ("RPMS") of a build folder inside the workspace. Everything a build
// wrote there may be a symbolic link to the host's own files, and so may the build folder and
// the folders between it and the workspace: nothing here ever follows a link. A link is
// removed as a link and never taken for a package.
class KamPackagesFolder
{
    Q_DECLARE_TR_FUNCTIONS(Kam::Internal::KamPackagesFolder)

public:
    KamPackagesFolder(const QString &workspace, const QString &buildDirectory);

    QString path() const;

    // Removes the packages folder with all it holds; true when it is gone (or never was).
    bool remove(QString *errorString) const;
    // The regular files "*.rpm" in the packages folder and its subfolders, sorted by file name.
    QStringList packages() const;

private:
    // Calls the handler with the name of each entry of the folder until it returns false.
    static bool forEachEntry(int folderFd, const std::function<bool(const QString &)> &handler);
    static bool removeEntry(int folderFd,
                            const QString &name,
                            const QString &path,
                            QString *errorString);
    static void collectPackages(int folderFd, const QString &path, QStringList *packages);

    // A descriptor of the build folder, opened from the workspace down without following a
    // link, or -1 with errno set.
    int openBuildFolder() const;

    QString m_workspace;
    QString m_buildDirectory;
};

} // namespace Internal
} // namespace Kam
