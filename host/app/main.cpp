#include <extensionsystem/pluginmanager.h>
#include <extensionsystem/pluginspec.h>

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QSettings>

#include <cstdio>

#include <sys/stat.h>
#include <unistd.h>

using namespace ExtensionSystem;

namespace {

const char usage[]
    = "Usage: kelvara-ide [options] [PROJECT_DIR]\n"
      "\n"
      "  -settingspath DIR      keep the settings in DIR\n"
      "  --sdk DIR              use the SDK in DIR (default: $KELVARA_SDK_DIR, else "
      "<bin>/../demo-sdk)\n"
      "  -version               print the version of every plug-in and exit\n"
      "  --trigger ACTION_ID    trigger the action ACTION_ID once start-up is done\n"
      "  --build PROJECT_DIR    build the project without a window and exit with 0 or 1\n"
      "  -help                  print this help and exit\n";

struct Options
{
    QString settingsPath;
    QString sdkPath;
    bool version = false;
    bool help = false;
    QStringList pluginArguments;
    QString error;
};

bool hasArgument(int argc, char **argv, const char *option)
{
    for (int i = 1; i < argc; ++i) {
        if (qstrcmp(argv[i], option) == 0)
            return true;
    }
    return false;
}

// Takes the options of the application itself; all others are the plug-ins'.
Options parseOptions(const QStringList &arguments)
{
    Options options;
    for (int i = 1; i < arguments.size(); ++i) {
        const QString &argument = arguments.at(i);
        const auto takeValue = [&](QString *value) {
            if (i + 1 >= arguments.size()) {
                options.error = QString::fromLatin1("The option %1 needs a value.").arg(argument);
                return;
            }
            *value = arguments.at(++i);
        };
        if (argument == QLatin1String("-settingspath"))
            takeValue(&options.settingsPath);
        else if (argument == QLatin1String("--sdk"))
            takeValue(&options.sdkPath);
        else if (argument == QLatin1String("-version") || argument == QLatin1String("--version"))
            options.version = true;
        else if (argument == QLatin1String("-help") || argument == QLatin1String("--help"))
            options.help = true;
        else
            options.pluginArguments.append(argument);
    }
    return options;
}

void setUpSdkPath(const QString &sdkOption)
{
    if (!sdkOption.isEmpty()) {
        qputenv("KELVARA_SDK_DIR", QFileInfo(sdkOption).absoluteFilePath().toLocal8Bit());
    } else if (qEnvironmentVariableIsEmpty("KELVARA_SDK_DIR")) {
        const QString demoSdk = QDir::cleanPath(QCoreApplication::applicationDirPath()
                                                + QLatin1String("/../demo-sdk"));
        qputenv("KELVARA_SDK_DIR", demoSdk.toLocal8Bit());
    }
}

QtMessageHandler defaultMessageHandler = nullptr;

// The offscreen platform says so whenever a window (a dialog) is shown: there is no screen.
void dropOffscreenPlatformNoise(QtMsgType type,
                                const QMessageLogContext &context,
                                const QString &text)
{
    if (text == QLatin1String("This plugin does not support propagateSizeHints()"))
        return;
    defaultMessageHandler(type, context, text);
}

// A headless run writes for a person or a log: the build's output and messages, nothing of the
// platform's. Debug messages stay out (QT_LOGGING_RULES can bring them back), and Qt's warning
// about an unset XDG_RUNTIME_DIR (as in containers and services) is avoided by naming the private
// folder that Qt would pick then.
void quietenHeadlessRun()
{
    defaultMessageHandler = qInstallMessageHandler(dropOffscreenPlatformNoise);
    QLoggingCategory::setFilterRules(QLatin1String("default.debug=false\ndefault.info=false"));
    if (!qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR"))
        return;
    const QByteArray runtimeDir = QDir::tempPath().toLocal8Bit() + "/runtime-"
                                  + QByteArray::number(getuid());
    mkdir(runtimeDir.constData(), 0700);
    struct stat info = {};
    if (lstat(runtimeDir.constData(), &info) == 0 && S_ISDIR(info.st_mode)
        && info.st_uid == getuid() && (info.st_mode & 0777) == 0700) {
        qputenv("XDG_RUNTIME_DIR", runtimeDir);
    }
}

void printErrors()
{
    for (const QString &error : PluginManager::errors())
        fprintf(stderr, "%s\n", qPrintable(error));
}

void printVersions()
{
    for (const PluginSpec *pluginSpec : PluginManager::plugins()) {
        if (pluginSpec->state() == PluginSpec::Running)
            printf("%s %s\n", qPrintable(pluginSpec->name()), qPrintable(pluginSpec->version()));
    }
    fflush(stdout);
}

} // namespace

int main(int argc, char **argv)
{
    // A headless build or a version query needs no display.
    if (hasArgument(argc, argv, "--build") || hasArgument(argc, argv, "-version")
        || hasArgument(argc, argv, "--version")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        quietenHeadlessRun();
    }

    QApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QLatin1String("Kelvara"));
    QCoreApplication::setApplicationName(QLatin1String("KelvaraIDE"));
    QCoreApplication::setApplicationVersion(QLatin1String("4.15.2"));
    QSettings::setDefaultFormat(QSettings::IniFormat);

    const Options options = parseOptions(QCoreApplication::arguments());
    if (!options.error.isEmpty()) {
        fprintf(stderr, "%s\n\n%s", qPrintable(options.error), usage);
        return 2;
    }
    if (options.help) {
        printf("%s", usage);
        return 0;
    }
    if (!options.settingsPath.isEmpty()) {
        QSettings::setPath(QSettings::IniFormat,
                           QSettings::UserScope,
                           QFileInfo(options.settingsPath).absoluteFilePath());
    }
    setUpSdkPath(options.sdkPath);

    PluginManager pluginManager;
    PluginManager::setPluginPaths({QDir::cleanPath(QCoreApplication::applicationDirPath()
                                                   + QLatin1String("/../lib/qtcreator/plugins"))});
    PluginManager::setArguments(options.pluginArguments);
    PluginManager::loadPlugins();
    printErrors();

    if (options.version) {
        printVersions();
        PluginManager::shutdown();
        return 0;
    }

    const int exitCode = app.exec();
    PluginManager::shutdown();
    return exitCode;
}
