#include "pluginspec.h"

#include "iplugin.h"

#include <QCoreApplication>
#include <QDir>
#include <QJsonArray>
#include <QJsonObject>
#include <QRegularExpression>

Q_LOGGING_CATEGORY(pluginLog, "qtc.extensionsystem", QtWarningMsg)

namespace ExtensionSystem {

namespace {

const char PLUGIN_METADATA[] = "MetaData";
const char PLUGIN_NAME[] = "Name";
const char PLUGIN_VERSION[] = "Version";
const char PLUGIN_COMPATVERSION[] = "CompatVersion";
const char PLUGIN_REQUIRED[] = "Required";
const char PLUGIN_EXPERIMENTAL[] = "Experimental";
const char PLUGIN_DISABLED_BY_DEFAULT[] = "DisabledByDefault";
const char VENDOR[] = "Vendor";
const char COPYRIGHT[] = "Copyright";
const char LICENSE[] = "License";
const char DESCRIPTION[] = "Description";
const char URL[] = "Url";
const char CATEGORY[] = "Category";
const char DEPENDENCIES[] = "Dependencies";
const char DEPENDENCY_NAME[] = "Name";
const char DEPENDENCY_VERSION[] = "Version";
const char DEPENDENCY_TYPE[] = "Type";
const char DEPENDENCY_TYPE_SOFT[] = "optional";
const char DEPENDENCY_TYPE_HARD[] = "required";
const char DEPENDENCY_TYPE_TEST[] = "test";

const QRegularExpression &versionRegExp()
{
    static const QRegularExpression reg(
        QStringLiteral("^([0-9]+)(?:[.]([0-9]+))?(?:[.]([0-9]+))?(?:_([0-9]+))?$"));
    return reg;
}

QString msgValueMissing(const char *key)
{
    return PluginSpec::tr("\"%1\" is missing").arg(QLatin1String(key));
}

QString msgValueIsNotAString(const char *key)
{
    return PluginSpec::tr("Value for key \"%1\" is not a string").arg(QLatin1String(key));
}

QString msgValueIsNotABool(const char *key)
{
    return PluginSpec::tr("Value for key \"%1\" is not a bool").arg(QLatin1String(key));
}

QString msgValueIsNotAObjectArray(const char *key)
{
    return PluginSpec::tr("Value for key \"%1\" is not an array of objects").arg(QLatin1String(key));
}

QString msgValueIsNotAMultilineString(const char *key)
{
    return PluginSpec::tr("Value for key \"%1\" is not a string and not an array of strings")
        .arg(QLatin1String(key));
}

QString msgInvalidFormat(const char *key, const QString &content)
{
    return PluginSpec::tr("Value \"%2\" for key \"%1\" has invalid format")
        .arg(QLatin1String(key), content);
}

// A string or an array of strings (joined by newlines); false if neither.
bool readMultiLineString(const QJsonValue &value, QString *out)
{
    if (value.isString()) {
        *out = value.toString();
        return true;
    }
    if (!value.isArray())
        return false;
    QStringList lines;
    const QJsonArray array = value.toArray();
    for (const QJsonValue &v : array) {
        if (!v.isString())
            return false;
        lines.append(v.toString());
    }
    *out = lines.join(QLatin1Char('\n'));
    return true;
}

} // namespace

bool PluginDependency::operator==(const PluginDependency &other) const
{
    return name == other.name && version == other.version && type == other.type;
}

QString PluginDependency::toString() const
{
    return name + QLatin1String(" (") + version + QLatin1Char(')');
}

PluginSpec::PluginSpec() = default;

PluginSpec::~PluginSpec()
{
    kill();
}

QString PluginSpec::name() const
{
    return m_name;
}

QString PluginSpec::version() const
{
    return m_version;
}

QString PluginSpec::compatVersion() const
{
    return m_compatVersion;
}

QString PluginSpec::vendor() const
{
    return m_vendor;
}

QString PluginSpec::copyright() const
{
    return m_copyright;
}

QString PluginSpec::license() const
{
    return m_license;
}

QString PluginSpec::description() const
{
    return m_description;
}

QString PluginSpec::url() const
{
    return m_url;
}

QString PluginSpec::category() const
{
    return m_category;
}

bool PluginSpec::isRequired() const
{
    return m_required;
}

bool PluginSpec::isExperimental() const
{
    return m_experimental;
}

bool PluginSpec::isEnabledByDefault() const
{
    return m_enabledByDefault;
}

QVector<PluginDependency> PluginSpec::dependencies() const
{
    return m_dependencies;
}

QString PluginSpec::filePath() const
{
    return m_filePath;
}

QStringList PluginSpec::arguments() const
{
    return m_arguments;
}

bool PluginSpec::provides(const QString &pluginName, const QString &version) const
{
    if (QString::compare(pluginName, m_name, Qt::CaseInsensitive) != 0)
        return false;
    return versionCompare(m_version, version) >= 0 && versionCompare(m_compatVersion, version) <= 0;
}

IPlugin *PluginSpec::plugin() const
{
    return m_plugin;
}

PluginSpec::State PluginSpec::state() const
{
    return m_state;
}

bool PluginSpec::hasError() const
{
    return !m_errorString.isEmpty();
}

QString PluginSpec::errorString() const
{
    return m_errorString;
}

bool PluginSpec::isValidVersion(const QString &version)
{
    return versionRegExp().match(version).hasMatch();
}

int PluginSpec::versionCompare(const QString &version1, const QString &version2)
{
    const QRegularExpressionMatch match1 = versionRegExp().match(version1);
    const QRegularExpressionMatch match2 = versionRegExp().match(version2);
    if (!match1.hasMatch())
        return 0;
    if (!match2.hasMatch())
        return 0;
    for (int i = 0; i < 4; ++i) {
        const int number1 = match1.captured(i + 1).toInt();
        const int number2 = match2.captured(i + 1).toInt();
        if (number1 < number2)
            return -1;
        if (number1 > number2)
            return 1;
    }
    return 0;
}

void PluginSpec::setError(const QString &message)
{
    if (m_errorString.isEmpty())
        m_errorString = message;
}

void PluginSpec::setResolved()
{
    if (m_state == Read)
        m_state = Resolved;
}

void PluginSpec::setArguments(const QStringList &arguments)
{
    m_arguments = arguments;
}

bool PluginSpec::read(const QString &fileName)
{
    m_filePath = QDir::cleanPath(QFileInfo(fileName).absoluteFilePath());
    m_loader.setFileName(m_filePath);
    if (m_loader.fileName().isEmpty()) {
        setError(tr("Cannot open file"));
        return false;
    }
    return readMetaData(m_loader.metaData());
}

bool PluginSpec::readMetaData(const QJsonObject &pluginMetaData)
{
    const QJsonValue metaDataValue = pluginMetaData.value(QLatin1String(PLUGIN_METADATA));
    if (!metaDataValue.isObject()) {
        setError(tr("Plugin meta data not found"));
        return false;
    }
    const QJsonObject metaData = metaDataValue.toObject();

    const auto readString = [&](const char *key, QString *out, bool mandatory) {
        const QJsonValue value = metaData.value(QLatin1String(key));
        if (value.isUndefined()) {
            if (mandatory)
                setError(msgValueMissing(key));
            return !mandatory;
        }
        if (!value.isString()) {
            setError(msgValueIsNotAString(key));
            return false;
        }
        *out = value.toString();
        return true;
    };
    const auto readBool = [&](const char *key, bool *out) {
        const QJsonValue value = metaData.value(QLatin1String(key));
        if (value.isUndefined())
            return true;
        if (!value.isBool()) {
            setError(msgValueIsNotABool(key));
            return false;
        }
        *out = value.toBool();
        return true;
    };
    const auto readText = [&](const char *key, QString *out) {
        const QJsonValue value = metaData.value(QLatin1String(key));
        if (value.isUndefined() || readMultiLineString(value, out))
            return true;
        setError(msgValueIsNotAMultilineString(key));
        return false;
    };

    if (!readString(PLUGIN_NAME, &m_name, true) || !readString(PLUGIN_VERSION, &m_version, true))
        return false;
    if (!isValidVersion(m_version)) {
        setError(msgInvalidFormat(PLUGIN_VERSION, m_version));
        return false;
    }
    m_compatVersion = m_version;
    if (!readString(PLUGIN_COMPATVERSION, &m_compatVersion, false))
        return false;
    if (!isValidVersion(m_compatVersion)) {
        setError(msgInvalidFormat(PLUGIN_COMPATVERSION, m_compatVersion));
        return false;
    }
    bool disabledByDefault = false;
    if (!readBool(PLUGIN_REQUIRED, &m_required) || !readBool(PLUGIN_EXPERIMENTAL, &m_experimental)
        || !readBool(PLUGIN_DISABLED_BY_DEFAULT, &disabledByDefault)) {
        return false;
    }
    m_enabledByDefault = !disabledByDefault && !m_experimental;

    if (!readString(VENDOR, &m_vendor, false) || !readString(URL, &m_url, false)
        || !readString(CATEGORY, &m_category, false) || !readText(COPYRIGHT, &m_copyright)
        || !readText(LICENSE, &m_license) || !readText(DESCRIPTION, &m_description)) {
        return false;
    }
    if (!readDependencies(metaData.value(QLatin1String(DEPENDENCIES))))
        return false;

    m_state = Read;
    return true;
}

bool PluginSpec::readDependencies(const QJsonValue &value)
{
    if (value.isUndefined())
        return true;
    if (!value.isArray()) {
        setError(msgValueIsNotAObjectArray(DEPENDENCIES));
        return false;
    }
    const QJsonArray array = value.toArray();
    for (const QJsonValue &v : array) {
        if (!v.isObject()) {
            setError(msgValueIsNotAObjectArray(DEPENDENCIES));
            return false;
        }
        const QJsonObject dependencyObject = v.toObject();
        PluginDependency dep;
        const QJsonValue name = dependencyObject.value(QLatin1String(DEPENDENCY_NAME));
        const QJsonValue version = dependencyObject.value(QLatin1String(DEPENDENCY_VERSION));
        const QJsonValue type = dependencyObject.value(QLatin1String(DEPENDENCY_TYPE));
        if (!name.isString()) {
            setError(tr("Dependency: %1")
                         .arg(name.isUndefined() ? msgValueMissing(DEPENDENCY_NAME)
                                                 : msgValueIsNotAString(DEPENDENCY_NAME)));
            return false;
        }
        dep.name = name.toString();
        if (!version.isUndefined() && !version.isString()) {
            setError(tr("Dependency: %1").arg(msgValueIsNotAString(DEPENDENCY_VERSION)));
            return false;
        }
        dep.version = version.toString();
        if (!isValidVersion(dep.version)) {
            setError(tr("Dependency: %1").arg(msgInvalidFormat(DEPENDENCY_VERSION, dep.version)));
            return false;
        }
        if (!type.isUndefined()) {
            const QString typeValue = type.toString();
            if (typeValue.toLower() == QLatin1String(DEPENDENCY_TYPE_HARD)) {
                dep.type = PluginDependency::Required;
            } else if (typeValue.toLower() == QLatin1String(DEPENDENCY_TYPE_SOFT)) {
                dep.type = PluginDependency::Optional;
            } else if (typeValue.toLower() == QLatin1String(DEPENDENCY_TYPE_TEST)) {
                dep.type = PluginDependency::Test;
            } else {
                setError(tr("Dependency: \"%1\" must be \"%2\" or \"%3\" (is \"%4\").")
                             .arg(QLatin1String(DEPENDENCY_TYPE),
                                  QLatin1String(DEPENDENCY_TYPE_HARD),
                                  QLatin1String(DEPENDENCY_TYPE_SOFT),
                                  typeValue));
                return false;
            }
        }
        m_dependencies.append(dep);
    }
    return true;
}

bool PluginSpec::loadLibrary()
{
    if (hasError() || m_state != Resolved)
        return false;
    if (!m_loader.load()) {
        setError(QDir::toNativeSeparators(m_filePath) + QLatin1String(": ")
                 + m_loader.errorString());
        return false;
    }
    auto pluginObject = qobject_cast<IPlugin *>(m_loader.instance());
    if (!pluginObject) {
        setError(tr("Plugin is not valid (does not derive from IPlugin)"));
        m_loader.unload();
        return false;
    }
    m_plugin = pluginObject;
    m_plugin->m_pluginSpec = this;
    m_state = Loaded;
    return true;
}

bool PluginSpec::initializePlugin()
{
    if (hasError() || m_state != Loaded)
        return false;
    QString err;
    if (!m_plugin->initialize(m_arguments, &err)) {
        setError(tr("Plugin initialization failed: %1").arg(err));
        return false;
    }
    m_state = Initialized;
    return true;
}

bool PluginSpec::initializeExtensions()
{
    if (hasError() || m_state != Initialized)
        return false;
    m_plugin->extensionsInitialized();
    m_state = Running;
    return true;
}

bool PluginSpec::delayedInitialize()
{
    if (hasError() || m_state != Running)
        return false;
    return m_plugin->delayedInitialize();
}

IPlugin::ShutdownFlag PluginSpec::stop()
{
    if (!m_plugin)
        return IPlugin::SynchronousShutdown;
    m_state = Stopped;
    return m_plugin->aboutToShutdown();
}

void PluginSpec::kill()
{
    if (!m_plugin)
        return;
    delete m_plugin;
    m_plugin = nullptr;
    m_state = Deleted;
}

void PluginSpec::unload()
{
    if (m_loader.isLoaded())
        m_loader.unload();
}

} // namespace ExtensionSystem
