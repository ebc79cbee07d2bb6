#pragma once

#include "kamprocessstep.h"
#include "kamrpmbuildprogress.h"

#include <QStringList>

namespace Kam {
namespace Internal {

class KamPackagesFolder;

// The platform's build step: builds the project's RPM packages with rpmbuild inside the first
// build container.
class KELVARA_EXPORT KamBuildStep : public KamProcessStep
{
    Q_OBJECT

public:
    KamBuildStep(ProjectExplorer::BuildStepList *bsl, Utils::Id id);
    ~KamBuildStep() override;

    static Utils::Id stepId();
    static QString displayName();

    // The packages of the last successful build: regular files inside the build folder, absolute
    // paths (the same inside and outside the build container), sorted by file name. Empty
    // before a successful build.
    QStringList deployablePackagesFileNames() const;

    bool init() override;

private:
    void doRun() override;
    void finish(bool success) override;
    void stdOutput(const QString &output) override;

    Utils::CommandLine rpmbuildCommandLine() const;
    KamPackagesFolder packagesFolder() const;
    bool checkBuildIsPossible(QString *errorString) const;

    QStringList m_packages;
    KamRpmbuildProgress m_progress;
};

} // namespace Internal
} // namespace Kam
