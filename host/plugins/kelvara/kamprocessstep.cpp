#include "kamprocessstep.h"

namespace Kam {
namespace Internal {

KamProcessStep::KamProcessStep(ProjectExplorer::BuildStepList *bsl, Utils::Id id)
    : ProjectExplorer::AbstractProcessStep(bsl, id)
{}

KamProcessStep::~KamProcessStep() = default;

bool KamProcessStep::init(InitOptions options)
{
    if (options & SkipProcessSetup)
        return true;
    return ProjectExplorer::AbstractProcessStep::init();
}

bool KamProcessStep::init()
{
    return init(NoInitOption);
}

} // namespace Internal
} // namespace Kam
