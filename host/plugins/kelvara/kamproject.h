#pragma once

#include "kamspecfile.h"

#include <projectexplorer/project.h>

namespace Kam {
namespace Internal {

// A platform project: a folder holding one RPM spec file, built with the platform kit.
class KamProject : public ProjectExplorer::Project
{
    Q_OBJECT

public:
    explicit KamProject(const Utils::FilePath &specFile);

    void requestParse() override;

    // The spec file as read by the last successful parse.
    const KamSpecFile &specFile() const { return m_specFile; }

private:
    void parse();

    KamSpecFile m_specFile;
};

} // namespace Internal
} // namespace Kam
