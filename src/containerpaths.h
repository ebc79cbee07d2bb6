#pragma once

#include <QString>
#include <QStringList>

namespace Quillmark {
namespace Internal {

// Which host files the tools in a build container reach, at the same path as on the host: the
// files in the workspace and in the build engines' shared source folders, the SDK's key and CA
// folders (read only), and the engine's own files under /etc/keys, which the host cannot see.
// A relative path is taken from the workspace, where the tools run.
class ContainerPaths
{
public:
    // The folders as the SDK and the workspace setting give them now.
    ContainerPaths();

    bool canRead(const QString &path) const;
    bool canWrite(const QString &path) const;
    // Inside the engine's own folder: the host cannot tell whether such a file exists.
    bool isInsideEngine(const QString &path) const;
    // The folders that the tools share with the host, for messages.
    QString sharedFolders() const;
    // Where the tools find the path, as a host path.
    QString absolutePath(const QString &path) const;

private:
    bool isReachable(const QString &path, const QStringList &folders) const;

    QString m_workspace;
    QStringList m_sharedFolders;
    QStringList m_readOnlyFolders;
};

} // namespace Internal
} // namespace Quillmark
