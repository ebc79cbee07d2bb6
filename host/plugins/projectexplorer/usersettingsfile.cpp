#include "usersettingsfile.h"

#include <QCoreApplication>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

namespace ProjectExplorer {
namespace Internal {

const char VERSION_KEY[] = "Version";
const char DATA_KEY[] = "Data";
const int currentVersion = 1;

static QString tr(const char *text)
{
    return QCoreApplication::translate("ProjectExplorer::Internal::UserSettingsFile", text);
}

UserSettingsFile::UserSettingsFile(const Utils::FilePath &filePath)
    : m_filePath(filePath)
{}

bool UserSettingsFile::exists() const
{
    return m_filePath.exists();
}

bool UserSettingsFile::read(QVariantMap *settings, QString *errorMessage) const
{
    QFile file(m_filePath.toString());
    if (!file.open(QIODevice::ReadOnly)) {
        *errorMessage = tr("Cannot read \"%1\": %2")
                            .arg(m_filePath.toUserOutput(), file.errorString());
        return false;
    }
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &parseError);
    if (parseError.error != QJsonParseError::NoError || !document.isObject()) {
        *errorMessage = tr("\"%1\" is not a valid settings file: %2")
                            .arg(m_filePath.toUserOutput(), parseError.errorString());
        return false;
    }
    const QJsonObject root = document.object();
    if (root.value(VERSION_KEY).toInt() > currentVersion) {
        *errorMessage = tr("\"%1\" was written by a newer version of the IDE.")
                            .arg(m_filePath.toUserOutput());
        return false;
    }
    *settings = root.value(DATA_KEY).toObject().toVariantMap();
    return true;
}

bool UserSettingsFile::write(const QVariantMap &settings, QString *errorMessage) const
{
    QJsonObject root;
    root.insert(VERSION_KEY, currentVersion);
    root.insert(DATA_KEY, QJsonObject::fromVariantMap(settings));

    QSaveFile file(m_filePath.toString());
    if (!file.open(QIODevice::WriteOnly)) {
        *errorMessage = tr("Cannot write \"%1\": %2")
                            .arg(m_filePath.toUserOutput(), file.errorString());
        return false;
    }
    file.write(QJsonDocument(root).toJson());
    if (!file.commit()) {
        *errorMessage = tr("Cannot write \"%1\": %2")
                            .arg(m_filePath.toUserOutput(), file.errorString());
        return false;
    }
    return true;
}

bool UserSettingsFile::moveAside(QString *backupPath) const
{
    *backupPath = m_filePath.toString() + ".bak";
    QFile::remove(*backupPath);
    return QFile::rename(m_filePath.toString(), *backupPath);
}

} // namespace Internal
} // namespace ProjectExplorer
