// kelvara-sdk-config DIR: writes the configuration of the demo SDK in DIR (used by kelvara-sdk).

#include <sdkconfig/sdkconfig.h>

#include <QDir>
#include <QFile>
#include <QTextStream>

int main(int argc, char **argv)
{
    if (argc != 2) {
        QTextStream(stderr) << "Usage: kelvara-sdk-config DIR\n";
        return 2;
    }
    const QDir sdkDir(QFile::decodeName(argv[1]));

    SdkConfig::Configuration config;
    config.installationPath = sdkDir.absolutePath();
    config.name = QStringLiteral("Kelvara Demo SDK");
    config.workspace = sdkDir.absoluteFilePath("workspace");
    config.engines = {{"kelvara-engine", sdkDir.absoluteFilePath("engine"), config.workspace}};
    config.containers = {
        {"kelvara-build", "kelvara-engine", sdkDir.absoluteFilePath("bin/run-kelvara-build")}};

    QString errorString;
    if (!config.save(&errorString)) {
        QTextStream(stderr) << "kelvara-sdk-config: " << errorString << '\n';
        return 1;
    }
    return 0;
}
