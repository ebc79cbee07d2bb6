#include "kampackagesfolder.h"

#include <utils/qtcassert.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace Kam {
namespace Internal {

static const char packagesFolderName[] = "RPMS";

static int openFolderNoFollow(int parentFd, const QString &name)
{
    return ::openat(parentFd,
                    QFile::encodeName(name).constData(),
                    O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
}

static QString systemError(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

KamPackagesFolder::KamPackagesFolder(const QString &workspace, const QString &buildDirectory)
    : m_workspace(QDir::cleanPath(workspace))
    , m_buildDirectory(QDir::cleanPath(buildDirectory))
{}

QString KamPackagesFolder::path() const
{
    return m_buildDirectory + '/' + packagesFolderName;
}

bool KamPackagesFolder::remove(QString *errorString) const
{
    const int buildFolderFd = openBuildFolder();
    if (buildFolderFd < 0) {
        const int error = errno;
        if (error == ENOENT)
            return true;
        if (error == ELOOP || error == ENOTDIR) {
            *errorString = tr("The build folder %1, or a folder between it and the workspace, is "
                              "a symbolic link: the packages of the previous build are not "
                              "removed through it. Replace the link with a folder.")
                               .arg(QDir::toNativeSeparators(m_buildDirectory));
        } else {
            *errorString = tr("Cannot open the build folder %1: %2")
                               .arg(QDir::toNativeSeparators(m_buildDirectory), systemError(error));
        }
        return false;
    }
    const bool removed = removeEntry(buildFolderFd, packagesFolderName, path(), errorString);
    ::close(buildFolderFd);
    return removed;
}

QStringList KamPackagesFolder::packages() const
{
    QStringList packages;
    const int buildFolderFd = openBuildFolder();
    if (buildFolderFd < 0)
        return packages;
    const int packagesFolderFd = openFolderNoFollow(buildFolderFd, packagesFolderName);
    ::close(buildFolderFd);
    if (packagesFolderFd < 0)
        return packages;
    collectPackages(packagesFolderFd, path(), &packages);
    ::close(packagesFolderFd);

    std::sort(packages.begin(), packages.end(), [](const QString &a, const QString &b) {
        return QFileInfo(a).fileName() < QFileInfo(b).fileName();
    });
    return packages;
}

bool KamPackagesFolder::forEachEntry(int folderFd,
                                     const std::function<bool(const QString &)> &handler)
{
    const int listFd = ::dup(folderFd);
    DIR *folder = listFd < 0 ? nullptr : ::fdopendir(listFd);
    if (!folder) {
        if (listFd >= 0)
            ::close(listFd);
        return false;
    }
    bool goOn = true;
    while (goOn) {
        errno = 0;
        const dirent *entry = ::readdir(folder);
        if (!entry) {
            goOn = errno == 0;
            break;
        }
        const QString name = QFile::decodeName(entry->d_name);
        if (name != "." && name != "..")
            goOn = handler(name);
    }
    ::closedir(folder);
    return goOn;
}

bool KamPackagesFolder::removeEntry(int folderFd,
                                    const QString &name,
                                    const QString &path,
                                    QString *errorString)
{
    const auto fail = [&](int error) {
        *errorString = tr("Cannot remove %1: %2")
                           .arg(QDir::toNativeSeparators(path), systemError(error));
        return false;
    };
    const QByteArray encodedName = QFile::encodeName(name);
    struct stat status;
    if (::fstatat(folderFd, encodedName.constData(), &status, AT_SYMLINK_NOFOLLOW) != 0)
        return errno == ENOENT || fail(errno);

    const bool isFolder = S_ISDIR(status.st_mode);
    if (isFolder) {
        const int fd = openFolderNoFollow(folderFd, name);
        if (fd < 0)
            return fail(errno);
        bool entryFailed = false;
        const bool emptied = forEachEntry(fd, [&](const QString &entry) {
            entryFailed = !removeEntry(fd, entry, path + '/' + entry, errorString);
            return !entryFailed;
        });
        const int error = errno;
        ::close(fd);
        if (!emptied)
            return entryFailed ? false : fail(error);
    }
    if (::unlinkat(folderFd, encodedName.constData(), isFolder ? AT_REMOVEDIR : 0) != 0)
        return fail(errno);
    return true;
}

void KamPackagesFolder::collectPackages(int folderFd, const QString &path, QStringList *packages)
{
    forEachEntry(folderFd, [&](const QString &name) {
        struct stat status;
        if (::fstatat(folderFd, QFile::encodeName(name).constData(), &status, AT_SYMLINK_NOFOLLOW)
            != 0) {
            return true;
        }
        if (S_ISREG(status.st_mode) && name.endsWith(".rpm")) {
            packages->append(path + '/' + name);
        } else if (S_ISDIR(status.st_mode)) {
            const int fd = openFolderNoFollow(folderFd, name);
            if (fd >= 0) {
                collectPackages(fd, path + '/' + name, packages);
                ::close(fd);
            }
        }
        return true;
    });
}

int KamPackagesFolder::openBuildFolder() const
{
    const QString relative = QDir(m_workspace).relativeFilePath(m_buildDirectory);
    // The build step refuses build folders outside the workspace before it gets here.
    QTC_ASSERT(relative != ".." && !relative.startsWith("../") && !QDir::isAbsolutePath(relative),
               errno = EINVAL;
               return -1);
    // The workspace is the user's choice, links and all; below it a build may have made links.
    int fd = ::open(QFile::encodeName(m_workspace).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    for (const QString &component : relative.split('/', Qt::SkipEmptyParts)) {
        if (fd < 0 || component == ".")
            continue;
        const int next = openFolderNoFollow(fd, component);
        const int error = errno;
        ::close(fd);
        fd = next;
        errno = error;
    }
    return fd;
}

} // namespace Internal
} // namespace Kam
