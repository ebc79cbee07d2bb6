#include "containerpaths.h"

#include <kelvara/kamsettings.h>
#include <pelk/buildengine.h>
#include <pelk/sdk.h>

#include <QDir>
#include <QFileInfo>

#include <algorithm>

namespace Quillmark {
namespace Internal {

const char engineKeysFolder[] = "/etc/keys";

static void addFolder(QStringList &folders, const QString &folder)
{
    if (!folder.isEmpty())
        folders.append(QDir::cleanPath(folder));
}

static bool isInside(const QString &path, const QString &folder)
{
    return path == folder || path.startsWith(folder.endsWith('/') ? folder : folder + '/');
}

static bool isInsideAny(const QString &path, const QStringList &folders)
{
    return std::any_of(folders.cbegin(), folders.cend(), [&path](const QString &folder) {
        return isInside(path, folder);
    });
}

// The file that the path leads to through links; for a file yet to be made, the one that its
// folder leads to. Empty when neither exists.
static QString canonicalTarget(const QString &absolutePath)
{
    const QFileInfo file(absolutePath);
    const QString canonical = file.canonicalFilePath();
    if (!canonical.isEmpty())
        return canonical;
    const QString folder = QFileInfo(file.absolutePath()).canonicalFilePath();
    return folder.isEmpty() ? QString() : folder + '/' + file.fileName();
}

static QStringList canonicalFolders(const QStringList &folders)
{
    QStringList canonical;
    for (const QString &folder : folders)
        addFolder(canonical, QFileInfo(folder).canonicalFilePath());
    return canonical;
}

ContainerPaths::ContainerPaths()
    : m_workspace(Kam::Internal::KamSettings::workspaceLocation())
{
    addFolder(m_sharedFolders, m_workspace);
    for (const Pelk::BuildEngine *engine : Pelk::Sdk::buildEngines())
        addFolder(m_sharedFolders, engine->sharedSrcPath().toString());
    m_sharedFolders.removeDuplicates();
    const QString sdk = Pelk::Sdk::installationPath();
    if (!sdk.isEmpty()) {
        addFolder(m_readOnlyFolders, sdk + "/keys");
        addFolder(m_readOnlyFolders, sdk + "/ca");
    }
}

bool ContainerPaths::canRead(const QString &path) const
{
    return isInsideEngine(path) || isReachable(path, m_sharedFolders + m_readOnlyFolders);
}

bool ContainerPaths::canWrite(const QString &path) const
{
    return isReachable(path, m_sharedFolders);
}

bool ContainerPaths::isInsideEngine(const QString &path) const
{
    return isInside(absolutePath(path), engineKeysFolder);
}

QString ContainerPaths::sharedFolders() const
{
    return QDir::toNativeSeparators(m_sharedFolders.join(", "));
}

QString ContainerPaths::absolutePath(const QString &path) const
{
    return QDir::cleanPath(QDir(m_workspace).absoluteFilePath(QDir::fromNativeSeparators(path)));
}

// A link inside a shared folder to a file outside of it leads nowhere in the container.
bool ContainerPaths::isReachable(const QString &path, const QStringList &folders) const
{
    const QString absolute = absolutePath(path);
    if (!isInsideAny(absolute, folders))
        return false;
    const QString target = canonicalTarget(absolute);
    return target.isEmpty() || isInsideAny(target, canonicalFolders(folders));
}

} // namespace Internal
} // namespace Quillmark
