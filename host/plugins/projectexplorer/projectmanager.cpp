#include "projectmanager.h"

#include "project.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QMap>

namespace ProjectExplorer {

struct ProjectType
{
    QString fileSuffix;
    std::function<Project *(const Utils::FilePath &)> creator;
};

static QMap<QString, ProjectType> &projectTypes()
{
    static QMap<QString, ProjectType> types;
    return types;
}

static QString tr(const char *text)
{
    return QCoreApplication::translate("ProjectExplorer::ProjectManager", text);
}

static const ProjectType *typeForFile(const Utils::FilePath &fileName)
{
    const QFileInfo info = fileName.toFileInfo();
    if (!info.isFile())
        return nullptr;
    for (const ProjectType &type : projectTypes()) {
        if (info.suffix() == type.fileSuffix)
            return &type;
    }
    return nullptr;
}

void ProjectManager::registerProjectCreator(const QString &mimeType,
                                            const QString &fileSuffix,
                                            const ProjectCreator &creator)
{
    projectTypes().insert(mimeType, {fileSuffix, creator});
}

void ProjectManager::unregisterProjectType(const QString &mimeType)
{
    projectTypes().remove(mimeType);
}

bool ProjectManager::canOpenProjectForFile(const Utils::FilePath &fileName)
{
    return typeForFile(fileName) != nullptr;
}

Project *ProjectManager::openProject(const Utils::FilePath &fileName)
{
    const ProjectType *type = typeForFile(fileName);
    return type ? type->creator(fileName) : nullptr;
}

static Utils::FilePaths projectFilesIn(const QDir &dir)
{
    Utils::FilePaths found;
    for (const QFileInfo &entry : dir.entryInfoList(QDir::Files, QDir::Name)) {
        const Utils::FilePath file = Utils::FilePath::fromFileInfo(entry);
        if (ProjectManager::canOpenProjectForFile(file))
            found.append(file);
    }
    return found;
}

static Utils::FilePath theOneProjectFile(const Utils::FilePaths &files,
                                         const QString &where,
                                         QString *errorMessage)
{
    if (files.count() == 1)
        return files.first();
    QStringList names;
    for (const Utils::FilePath &file : files)
        names.append(file.toUserOutput());
    *errorMessage = tr("\"%1\" holds more than one project file: %2").arg(where, names.join(", "));
    return {};
}

Utils::FilePath ProjectManager::findProjectFile(const Utils::FilePath &path, QString *errorMessage)
{
    const QFileInfo info = path.toFileInfo();
    if (!info.exists()) {
        *errorMessage = tr("\"%1\" does not exist.").arg(path.toUserOutput());
        return {};
    }
    if (info.isFile()) {
        if (canOpenProjectForFile(path))
            return path;
        *errorMessage = tr("\"%1\" is not a project file of a known type.").arg(path.toUserOutput());
        return {};
    }

    const QDir dir(info.absoluteFilePath());
    const Utils::FilePaths topLevel = projectFilesIn(dir);
    if (!topLevel.isEmpty())
        return theOneProjectFile(topLevel, path.toUserOutput(), errorMessage);

    Utils::FilePaths nested;
    for (const QFileInfo &subDir : dir.entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name))
        nested.append(projectFilesIn(QDir(subDir.absoluteFilePath())));
    if (!nested.isEmpty())
        return theOneProjectFile(nested, path.toUserOutput(), errorMessage);

    *errorMessage = tr("\"%1\" holds no project file.").arg(path.toUserOutput());
    return {};
}

} // namespace ProjectExplorer
