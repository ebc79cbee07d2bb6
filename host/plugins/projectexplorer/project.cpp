#include "project.h"

#include "buildmanager.h"
#include "kit.h"
#include "projectconfiguration.h"
#include "target.h"
#include "usersettingsfile.h"

#include <utils/qtcassert.h>

#include <QDebug>
#include <QPointer>

namespace ProjectExplorer {

const char ACTIVE_TARGET_KEY[] = "ProjectExplorer.Project.ActiveTarget";
const char TARGET_COUNT_KEY[] = "ProjectExplorer.Project.TargetCount";
const char TARGET_PREFIX[] = "ProjectExplorer.Project.Target.";

Project::Project(const QString &mimeType, const Utils::FilePath &fileName)
    : m_mimeType(mimeType)
    , m_projectFilePath(fileName)
    , m_displayName(fileName.toFileInfo().completeBaseName())
{}

Project::~Project()
{
    qDeleteAll(m_targets);
}

QString Project::displayName() const
{
    return m_displayName;
}

Utils::Id Project::id() const
{
    return m_id;
}

QString Project::mimeType() const
{
    return m_mimeType;
}

Utils::FilePath Project::projectFilePath() const
{
    return m_projectFilePath;
}

Utils::FilePath Project::projectDirectory() const
{
    return m_projectFilePath.parentDir();
}

Target *Project::addTargetForKit(Kit *kit)
{
    QTC_ASSERT(kit, return nullptr);
    QTC_ASSERT(!target(kit), return nullptr);
    auto newTarget = new Target(this, kit);
    m_targets.append(newTarget);
    emit addedTarget(newTarget);
    if (!m_activeTarget)
        setActiveTarget(newTarget);
    return newTarget;
}

bool Project::removeTarget(Target *target)
{
    if (!target || !m_targets.contains(target))
        return false;
    if (BuildManager::instance() && BuildManager::isBuilding(target))
        return false;
    emit aboutToRemoveTarget(target);
    m_targets.removeOne(target);
    if (m_activeTarget == target)
        setActiveTarget(m_targets.value(0));
    emit removedTarget(target);
    delete target;
    return true;
}

const QList<Target *> Project::targets() const
{
    return m_targets;
}

Target *Project::activeTarget() const
{
    return m_activeTarget;
}

void Project::setActiveTarget(Target *target)
{
    QTC_ASSERT(!target || m_targets.contains(target), return );
    if (target == m_activeTarget)
        return;
    m_activeTarget = target;
    emit activeTargetChanged(target);
}

Target *Project::target(Utils::Id id) const
{
    for (Target *candidate : m_targets) {
        if (candidate->id() == id)
            return candidate;
    }
    return nullptr;
}

Target *Project::target(Kit *k) const
{
    for (Target *candidate : m_targets) {
        if (candidate->kit() == k)
            return candidate;
    }
    return nullptr;
}

void Project::requestParse()
{
    for (const QPointer<Target> &target :
         QList<QPointer<Target>>(m_targets.begin(), m_targets.end())) {
        if (target)
            target->emitParsingStarted();
        if (target)
            target->emitParsingFinished(true);
    }
}

void Project::addParseFollower(QObject *follower)
{
    if (follower && !m_parseFollowers.contains(follower))
        m_parseFollowers.append(follower);
}

void Project::removeParseFollower(QObject *follower)
{
    m_parseFollowers.removeAll(follower);
}

QList<QObject *> Project::parseFollowers() const
{
    QList<QObject *> followers;
    for (const QPointer<QObject> &follower : m_parseFollowers) {
        if (follower)
            followers.append(follower);
    }
    return followers;
}

Utils::FilePath Project::userSettingsFilePath() const
{
    return m_projectFilePath.stringAppended(".user");
}

bool Project::saveSettings()
{
    emit aboutToSaveSettings();
    QString errorMessage;
    if (!Internal::UserSettingsFile(userSettingsFilePath()).write(toMap(), &errorMessage)) {
        qWarning().noquote() << errorMessage;
        return false;
    }
    return true;
}

Project::RestoreResult Project::restoreSettings(QString *errorMessage)
{
    const Internal::UserSettingsFile file(userSettingsFilePath());
    if (!file.exists())
        return RestoreResult::Ok;

    QVariantMap map;
    QString readError;
    if (!file.read(&map, &readError)) {
        QString backupPath;
        if (file.moveAside(&backupPath))
            readError += ' ' + tr("The file was kept as \"%1\".").arg(backupPath);
        if (errorMessage)
            *errorMessage = readError;
        return RestoreResult::Error;
    }

    const RestoreResult result = fromMap(map, errorMessage);
    if (result == RestoreResult::Ok)
        emit settingsLoaded();
    return result;
}

QVariantMap Project::toMap() const
{
    QVariantMap map;
    map.insert(ACTIVE_TARGET_KEY, m_targets.indexOf(m_activeTarget));
    map.insert(TARGET_COUNT_KEY, m_targets.count());
    for (int i = 0; i < m_targets.count(); ++i)
        map.insert(TARGET_PREFIX + QString::number(i), m_targets.at(i)->toMap());
    return map;
}

void Project::setId(Utils::Id id)
{
    m_id = id;
}

void Project::setDisplayName(const QString &name)
{
    if (name == m_displayName)
        return;
    m_displayName = name;
    emit displayNameChanged();
}

Project::RestoreResult Project::fromMap(const QVariantMap &map, QString *errorMessage)
{
    Q_UNUSED(errorMessage)
    const int activeIndex = map.value(ACTIVE_TARGET_KEY, -1).toInt();
    const int count = map.value(TARGET_COUNT_KEY, 0).toInt();
    for (int i = 0; i < count; ++i) {
        const QVariantMap targetMap = map.value(TARGET_PREFIX + QString::number(i)).toMap();
        const Utils::Id targetId = idFromMap(targetMap);
        Target *savedTarget = target(targetId);
        if (!savedTarget) {
            qWarning() << "The project has no target" << targetId.toString()
                       << "any more; its settings are dropped.";
            continue;
        }
        savedTarget->fromMap(targetMap);
        if (i == activeIndex)
            setActiveTarget(savedTarget);
    }
    return RestoreResult::Ok;
}

} // namespace ProjectExplorer
