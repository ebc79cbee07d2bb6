#pragma once

#include <projectexplorer/project.h>

// A project type for the tests: a file "<name>.testproject". It has one target with the test kit,
// build configurations "Debug" and "Release" whose build steps hold one RecordingStep named
// "compile", and one deploy configuration. Its parse ends from the event loop and fails when the
// file's text is "fail".
class TestProject : public ProjectExplorer::Project
{
    Q_OBJECT

public:
    static const char mimeType[];
    static const char fileSuffix[];
    static const char recordingStepId[];

    explicit TestProject(const Utils::FilePath &fileName);

    // Makes "<dir>/<name>.testproject" with the given text.
    static QString createProjectFile(const QString &dir,
                                     const QString &name,
                                     const QByteArray &text = {});

    void requestParse() override;

    int parseCount = 0;
};
