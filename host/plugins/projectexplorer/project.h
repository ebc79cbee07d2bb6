#pragma once

#include "projectexplorer_export.h"

#include <utils/fileutils.h>
#include <utils/id.h>

#include <QList>
#include <QObject>
#include <QPointer>
#include <QVariantMap>

namespace ProjectExplorer {

class Kit;
class Target;

// An open project. Host: a project type derives from it, registers itself with
// ProjectManager::registerProjectType<T>(), and in its constructor (or before the first parse)
// sets its id and display name and adds its targets with addTargetForKit() and their build and
// deploy configurations. When the project is opened, the saved settings ("<project file>.user")
// are applied to those configurations, the project is added to the session, and then
// requestParse() is called.
class PROJECTEXPLORER_EXPORT Project : public QObject
{
    Q_OBJECT

public:
    enum class RestoreResult { Ok, Error, UserAbort };

    Project(const QString &mimeType, const Utils::FilePath &fileName);
    ~Project() override;

    QString displayName() const;
    Utils::Id id() const;
    QString mimeType() const;

    Utils::FilePath projectFilePath() const;
    Utils::FilePath projectDirectory() const;

    Target *addTargetForKit(Kit *kit);
    bool removeTarget(Target *target);
    const QList<Target *> targets() const;
    Target *activeTarget() const;
    void setActiveTarget(Target *target);
    Target *target(Utils::Id id) const;
    Target *target(Kit *k) const;

    // Host: starts a parse of the project. The default parses nothing and reports success for
    // every target; project types override it and report through Target::emitParsingStarted()
    // and Target::emitParsingFinished().
    virtual void requestParse();

    // Host: "<project file>.user", where the project's settings are kept.
    Utils::FilePath userSettingsFilePath() const;
    // Writes the settings of every target atomically; false (with a warning) on failure.
    bool saveSettings();
    RestoreResult restoreSettings(QString *errorMessage);

    virtual QVariantMap toMap() const;

    // Host: objects that act on this project's parses a while later, with a timer of their own
    // that runs only while they have work pending (a platform's project listener). A headless
    // build has them do that work at once after the parse (it delivers their running timers), then
    // waits until none of them, nor their children, has a timer running.
    void addParseFollower(QObject *follower);
    void removeParseFollower(QObject *follower);
    QList<QObject *> parseFollowers() const;

signals:
    void displayNameChanged();
    void activeTargetChanged(ProjectExplorer::Target *target);
    void aboutToRemoveTarget(ProjectExplorer::Target *target);
    void removedTarget(ProjectExplorer::Target *target);
    void addedTarget(ProjectExplorer::Target *target);
    void anyParsingStarted(ProjectExplorer::Target *target);
    void anyParsingFinished(ProjectExplorer::Target *target, bool success);
    void settingsLoaded();
    void aboutToSaveSettings();

protected:
    void setId(Utils::Id id);
    void setDisplayName(const QString &name);

    virtual RestoreResult fromMap(const QVariantMap &map, QString *errorMessage);

private:
    const QString m_mimeType;
    const Utils::FilePath m_projectFilePath;
    Utils::Id m_id;
    QString m_displayName;
    QList<Target *> m_targets;
    Target *m_activeTarget = nullptr;
    QList<QPointer<QObject>> m_parseFollowers;
};

} // namespace ProjectExplorer
