#pragma once

#include "kelvara_global.h"

#include <projectexplorer/abstractprocessstep.h>

namespace Kam {
namespace Internal {

// Base of the platform's process-running build steps.
class KELVARA_EXPORT KamProcessStep : public ProjectExplorer::AbstractProcessStep
{
    Q_OBJECT

public:
    enum InitOption {
        NoInitOption = 0x0,
        // The step starts its own tools: no command line is set up or required.
        SkipProcessSetup = 0x1
    };
    Q_DECLARE_FLAGS(InitOptions, InitOption)

    KamProcessStep(ProjectExplorer::BuildStepList *bsl, Utils::Id id);
    ~KamProcessStep() override;

    bool init(InitOptions options);
    bool init() override;
};

} // namespace Internal
} // namespace Kam

Q_DECLARE_OPERATORS_FOR_FLAGS(Kam::Internal::KamProcessStep::InitOptions)
