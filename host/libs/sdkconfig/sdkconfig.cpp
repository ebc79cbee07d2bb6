#include "sdkconfig.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

namespace SdkConfig {

static QString absolutePath(const QDir &sdkDir, const QString &path)
{
    if (path.isEmpty())
        return {};
    return QDir::cleanPath(sdkDir.absoluteFilePath(path));
}

static QString storedPath(const QDir &sdkDir, const QString &path)
{
    if (path.isEmpty())
        return {};
    const QString relative = sdkDir.relativeFilePath(path);
    return relative.startsWith(QLatin1String("..")) ? path : relative;
}

const Engine *Configuration::engine(const QString &name) const
{
    for (const Engine &e : engines) {
        if (e.name == name)
            return &e;
    }
    return nullptr;
}

QString Configuration::fileName()
{
    return QStringLiteral("sdk.json");
}

QString Configuration::filePath(const QString &sdkDir)
{
    return QDir(sdkDir).absoluteFilePath(fileName());
}

bool Configuration::load(const QString &sdkDir, Configuration *config, QString *errorString)
{
    QFile file(filePath(sdkDir));
    if (!file.open(QIODevice::ReadOnly)) {
        *errorString = QStringLiteral("Cannot read the SDK configuration %1: %2")
                           .arg(file.fileName(), file.errorString());
        return false;
    }
    QJsonParseError parseError;
    const QJsonDocument doc = QJsonDocument::fromJson(file.readAll(), &parseError);
    if (!doc.isObject()) {
        *errorString = QStringLiteral("The SDK configuration %1 is not valid: %2")
                           .arg(file.fileName(), parseError.errorString());
        return false;
    }

    const QDir dir(QFileInfo(sdkDir).absoluteFilePath());
    const QJsonObject root = doc.object();
    Configuration result;
    result.installationPath = QDir::cleanPath(dir.absolutePath());
    result.name = root.value("name").toString();
    result.workspace = absolutePath(dir, root.value("workspace").toString());
    for (const QJsonValue &value : root.value("engines").toArray()) {
        const QJsonObject o = value.toObject();
        result.engines.append({o.value("name").toString(),
                               absolutePath(dir, o.value("path").toString()),
                               absolutePath(dir, o.value("sharedSrcPath").toString())});
    }
    for (const QJsonValue &value : root.value("containers").toArray()) {
        const QJsonObject o = value.toObject();
        QStringList passEnvironment;
        for (const QJsonValue &name : o.value("passEnvironment").toArray())
            passEnvironment.append(name.toString());
        result.containers.append({o.value("name").toString(),
                                  o.value("engine").toString(),
                                  absolutePath(dir, o.value("runCommand").toString()),
                                  passEnvironment});
    }
    *config = result;
    return true;
}

bool Configuration::save(QString *errorString) const
{
    const QDir dir(installationPath);
    QJsonArray engineArray;
    for (const Engine &e : engines) {
        engineArray.append(QJsonObject{{"name", e.name},
                                       {"path", storedPath(dir, e.path)},
                                       {"sharedSrcPath", storedPath(dir, e.sharedSrcPath)}});
    }
    QJsonArray containerArray;
    for (const Container &c : containers) {
        QJsonObject container{{"name", c.name},
                              {"engine", c.engine},
                              {"runCommand", storedPath(dir, c.runCommand)}};
        if (!c.passEnvironment.isEmpty())
            container.insert("passEnvironment", QJsonArray::fromStringList(c.passEnvironment));
        containerArray.append(container);
    }
    const QJsonObject root{{"name", name},
                           {"workspace", storedPath(dir, workspace)},
                           {"engines", engineArray},
                           {"containers", containerArray}};

    QSaveFile file(filePath(installationPath));
    if (!file.open(QIODevice::WriteOnly)
        || file.write(QJsonDocument(root).toJson()) < 0 || !file.commit()) {
        *errorString = QStringLiteral("Cannot write the SDK configuration %1: %2")
                           .arg(file.fileName(), file.errorString());
        return false;
    }
    return true;
}

} // namespace SdkConfig
