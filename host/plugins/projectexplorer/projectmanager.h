#pragma once

#include "projectexplorer_export.h"

#include <utils/fileutils.h>

#include <QString>

#include <functional>

namespace ProjectExplorer {

class Project;

// Host: the project types the IDE can open. A type is found by the suffix of the project file
// (e.g. "spec" for an RPM spec file); T needs a constructor T(const Utils::FilePath &projectFile).
class PROJECTEXPLORER_EXPORT ProjectManager
{
public:
    template<typename T>
    static void registerProjectType(const QString &mimeType, const QString &fileSuffix)
    {
        registerProjectCreator(mimeType, fileSuffix, [](const Utils::FilePath &fileName) {
            return new T(fileName);
        });
    }
    static void unregisterProjectType(const QString &mimeType);

    static bool canOpenProjectForFile(const Utils::FilePath &fileName);
    // A new project for the file, or nullptr when no type handles it.
    static Project *openProject(const Utils::FilePath &fileName);

    // The project file for a path: the path itself when it is a project file, else the one
    // project file inside the folder (or, when there is none, inside one of its sub-folders).
    static Utils::FilePath findProjectFile(const Utils::FilePath &path, QString *errorMessage);

private:
    using ProjectCreator = std::function<Project *(const Utils::FilePath &)>;
    static void registerProjectCreator(const QString &mimeType,
                                       const QString &fileSuffix,
                                       const ProjectCreator &creator);
};

} // namespace ProjectExplorer
