#include "projectconfiguration.h"

#include "kit.h"
#include "project.h"
#include "target.h"

#include <utils/qtcassert.h>

namespace ProjectExplorer {

const char CONFIGURATION_ID_KEY[] = "ProjectExplorer.ProjectConfiguration.Id";
const char DISPLAY_NAME_KEY[] = "ProjectExplorer.ProjectConfiguration.DisplayName";

static Target *targetOf(QObject *object)
{
    for (QObject *candidate = object; candidate; candidate = candidate->parent()) {
        if (auto target = qobject_cast<Target *>(candidate))
            return target;
    }
    return nullptr;
}

ProjectConfiguration::ProjectConfiguration(QObject *parent, Utils::Id id)
    : QObject(parent)
    , m_target(targetOf(parent))
    , m_id(id)
{
    QTC_CHECK(id.isValid());
    setObjectName(id.toString());
}

ProjectConfiguration::~ProjectConfiguration() = default;

Utils::Id ProjectConfiguration::id() const
{
    return m_id;
}

QString ProjectConfiguration::displayName() const
{
    return m_displayName.isEmpty() ? m_defaultDisplayName : m_displayName;
}

bool ProjectConfiguration::usesDefaultDisplayName() const
{
    return m_displayName.isEmpty();
}

void ProjectConfiguration::setDisplayName(const QString &name)
{
    const QString newName = name == m_defaultDisplayName ? QString() : name;
    if (newName == m_displayName)
        return;
    m_displayName = newName;
    emit displayNameChanged();
}

void ProjectConfiguration::setDefaultDisplayName(const QString &name)
{
    if (m_defaultDisplayName == name)
        return;
    const QString oldName = displayName();
    m_defaultDisplayName = name;
    if (displayName() != oldName)
        emit displayNameChanged();
}

void ProjectConfiguration::setToolTip(const QString &text)
{
    if (text == m_toolTip)
        return;
    m_toolTip = text;
    emit toolTipChanged();
}

QString ProjectConfiguration::toolTip() const
{
    return m_toolTip;
}

bool ProjectConfiguration::fromMap(const QVariantMap &map)
{
    const Utils::Id savedId = idFromMap(map);
    QTC_ASSERT(savedId == m_id, return false);
    setDisplayName(map.value(DISPLAY_NAME_KEY).toString());
    return true;
}

QVariantMap ProjectConfiguration::toMap() const
{
    QTC_CHECK(m_id.isValid());
    QVariantMap map;
    map.insert(CONFIGURATION_ID_KEY, m_id.toSetting());
    map.insert(DISPLAY_NAME_KEY, m_displayName);
    return map;
}

Target *ProjectConfiguration::target() const
{
    return m_target;
}

Project *ProjectConfiguration::project() const
{
    return m_target ? m_target->project() : nullptr;
}

Kit *ProjectConfiguration::kit() const
{
    return m_target ? m_target->kit() : nullptr;
}

QString ProjectConfiguration::settingsIdKey()
{
    return QString(CONFIGURATION_ID_KEY);
}

Utils::Id idFromMap(const QVariantMap &map)
{
    return Utils::Id::fromSetting(map.value(CONFIGURATION_ID_KEY));
}

} // namespace ProjectExplorer
