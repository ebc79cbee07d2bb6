#include "exitcode.h"
#include "runoptions.h"
#include "sandbox.h"
#include "sandboxenvironment.h"
#include "sandboxlauncher.h"

#include <sdkconfig/sdkconfig.h>

#include <QDir>
#include <QFileInfo>
#include <QTextCodec>
#include <QTextStream>

extern char **environ;

using namespace KelvaraRun;

static int fail(const QString &message)
{
    QTextStream(stderr) << "kelvara-run: " << message << '\n';
    return SetupFailed;
}

int main(int argc, char **argv)
{
    // The tool runs with whatever environment it was given, often none at all: file names are
    // UTF-8 whatever the locale says.
    QTextCodec::setCodecForLocale(QTextCodec::codecForName("UTF-8"));

    const RunOptions options = RunOptions::parse(argc, argv);
    if (options.helpRequested()) {
        QTextStream(stdout) << RunOptions::usage();
        return Success;
    }
    if (!options.isValid())
        return fail(options.errorString() + '\n' + RunOptions::usage().trimmed());

    SdkConfig::Configuration config;
    QString errorString;
    if (!SdkConfig::Configuration::load(options.sdkDir(), &config, &errorString))
        return fail(errorString);

    const QString toolsDir = QFileInfo(QStringLiteral("/proc/self/exe")).canonicalPath();
    Sandbox sandbox(config, toolsDir);
    if (!sandbox.prepare(options.containerName(), QDir::currentPath()))
        return fail(sandbox.errorString());

    const SandboxEnvironment environment(toolsDir, Sandbox::homeFolder(), sandbox.passEnvironment());
    QByteArrayList hostEnvironment;
    for (char **entry = environ; *entry; ++entry)
        hostEnvironment.append(*entry);

    SandboxLauncher launcher;
    launcher.exec(sandbox.arguments(), options.command(), environment.variables(hostEnvironment));
    return fail(launcher.errorString());
}
