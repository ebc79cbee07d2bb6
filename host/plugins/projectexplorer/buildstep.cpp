#include "buildstep.h"

#include "buildconfiguration.h"
#include "buildsteplist.h"
#include "deployconfiguration.h"
#include "target.h"

#include <utils/qtcassert.h>

#include <QDebug>
#include <QLabel>
#include <QVBoxLayout>

namespace ProjectExplorer {

const char BUILD_STEP_ENABLED_KEY[] = "ProjectExplorer.BuildStep.Enabled";

BuildStep::BuildStep(BuildStepList *bsl, Utils::Id id)
    : ProjectConfiguration(bsl, id)
    , m_stepList(bsl)
{
    QTC_CHECK(bsl);
}

BuildStep::~BuildStep() = default;

void BuildStep::run()
{
    m_cancelFlag = false;
    doRun();
}

void BuildStep::cancel()
{
    m_cancelFlag = true;
    doCancel();
}

bool BuildStep::fromMap(const QVariantMap &map)
{
    m_enabled = map.value(BUILD_STEP_ENABLED_KEY, true).toBool();
    return ProjectConfiguration::fromMap(map);
}

QVariantMap BuildStep::toMap() const
{
    QVariantMap map = ProjectConfiguration::toMap();
    map.insert(BUILD_STEP_ENABLED_KEY, m_enabled);
    return map;
}

bool BuildStep::enabled() const
{
    return m_enabled;
}

void BuildStep::setEnabled(bool b)
{
    if (m_enabled == b)
        return;
    m_enabled = b;
    emit enabledChanged();
}

BuildStepList *BuildStep::stepList() const
{
    return m_stepList;
}

BuildConfiguration *BuildStep::buildConfiguration() const
{
    if (auto config = qobject_cast<BuildConfiguration *>(projectConfiguration()))
        return config;
    // The step belongs to a deploy configuration: use the target's active build configuration.
    return target() ? target()->activeBuildConfiguration() : nullptr;
}

DeployConfiguration *BuildStep::deployConfiguration() const
{
    if (auto config = qobject_cast<DeployConfiguration *>(projectConfiguration()))
        return config;
    // The step belongs to a build configuration: use the target's active deploy configuration.
    return target() ? target()->activeDeployConfiguration() : nullptr;
}

ProjectConfiguration *BuildStep::projectConfiguration() const
{
    return m_stepList ? m_stepList->projectConfiguration() : nullptr;
}

Utils::Environment BuildStep::buildEnvironment() const
{
    if (BuildConfiguration *config = buildConfiguration())
        return config->environment();
    return Utils::Environment::systemEnvironment();
}

Utils::FilePath BuildStep::buildDirectory() const
{
    if (BuildConfiguration *config = buildConfiguration())
        return config->buildDirectory();
    return {};
}

QVariant BuildStep::data(Utils::Id id) const
{
    Q_UNUSED(id)
    return {};
}

void BuildStep::setSummaryUpdater(const std::function<QString()> &summaryUpdater)
{
    m_summaryUpdater = summaryUpdater;
}

QString BuildStep::summaryText() const
{
    if (m_summaryText.isEmpty())
        return QString("<b>%1</b>").arg(displayName());
    return m_summaryText;
}

void BuildStep::setSummaryText(const QString &summaryText)
{
    if (summaryText == m_summaryText)
        return;
    m_summaryText = summaryText;
    emit updateSummary();
}

QWidget *BuildStep::doCreateConfigWidget()
{
    QWidget *widget = createConfigWidget();
    if (m_summaryUpdater)
        setSummaryText(m_summaryUpdater());
    return widget;
}

QWidget *BuildStep::createConfigWidget()
{
    auto widget = new QWidget;
    auto layout = new QVBoxLayout(widget);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(new QLabel(tr("No settings for this step.")));
    return widget;
}

bool BuildStep::isCanceled() const
{
    return m_cancelFlag;
}

void BuildStep::doCancel()
{
    qWarning() << "Build step" << displayName() << "cannot be cancelled.";
}

} // namespace ProjectExplorer
