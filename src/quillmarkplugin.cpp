#include "quillmarkplugin.h"

#include "projectlistener/projectlistener.h"
#include "signdialog.h"

#include <coreplugin/actionmanager/actioncontainer.h>
#include <coreplugin/actionmanager/actionmanager.h>
#include <coreplugin/actionmanager/command.h>
#include <coreplugin/coreconstants.h>
#include <coreplugin/icontext.h>
#include <coreplugin/icore.h>
#include <coreplugin/messagemanager.h>
#include <extensionsystem/pluginmanager.h>
#include <kelvara/kamconstants.h>
#include <pelk/buildengine.h>
#include <pelk/sdk.h>
#include <utils/fileutils.h>

#include <QAction>
#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QMainWindow>
#include <QSettings>
#include <QTranslator>

namespace Quillmark {
namespace Internal {

const char SIGN_DIALOG_ACTION_ID[] = "Quillmark.SignDialog";
const char KEYS_FOLDER_NAME[] = ".kelvara-regular-keys";
const char REGULAR_KEY_FILE_NAME[] = "regular_key.pem";
const char REGULAR_CERT_FILE_NAME[] = "regular_cert.pem";

static QString translationsPath()
{
    const QString sharePath = QDir::cleanPath(QCoreApplication::applicationDirPath() + '/'
                                              + "../share/qtcreator");
    return QDir::cleanPath(sharePath + "/translations");
}

static QLocale uiLocale()
{
    const QVariant language = ExtensionSystem::PluginManager::settings()
                                  ->value("General/OverrideLanguage", QVariant());
    return language.isValid() ? QLocale(language.toString()) : QLocale();
}

// The keys are written only into a real folder of the shared folder: a link that a build
// container planted there would let them land anywhere on the host.
static bool isRealFolder(const QString &folder, QString *errorString)
{
    const QFileInfo info(folder);
    if (info.isDir() && !info.isSymLink())
        return true;
    *errorString = info.isSymLink() ? QuillmarkPlugin::tr("%1 is a link, not a folder").arg(folder)
                                    : QuillmarkPlugin::tr("%1 is not a folder").arg(folder);
    qDebug() << "[QuillmarkPlugin] Failed to copy the keys into" << folder << ":" << *errorString;
    return false;
}

// Writes a new file, never through a link in its place. A private key is readable by its owner
// only before anything is written to it.
static bool writeNewFile(const QString &fileName,
                         const QByteArray &contents,
                         bool isPrivateKey,
                         QString *errorString)
{
    QFile file(fileName);
    const bool written = file.open(QIODevice::WriteOnly | QIODevice::NewOnly)
                         && (!isPrivateKey
                             || file.setPermissions(QFile::ReadOwner | QFile::WriteOwner))
                         && file.write(contents) == contents.size() && file.flush();
    if (written)
        return true;
    *errorString = QuillmarkPlugin::tr("Cannot write %1: %2").arg(fileName, file.errorString());
    if (file.isOpen())
        file.remove();
    return false;
}

// Copies one file of the SDK's "package-signing" folder into the keys folder unless a file of
// that name is already there.
static bool copyRegularFile(const QString &fileName,
                            const QString &keysFolder,
                            bool isPrivateKey,
                            QString *errorString)
{
    const QString destination = keysFolder + fileName;
    const QFileInfo destinationInfo(destination);
    if (destinationInfo.isSymLink()) {
        *errorString = QuillmarkPlugin::tr("%1 is a link, not a file").arg(destination);
    } else if (destinationInfo.exists()) {
        return true;
    } else {
        QFile source(Pelk::Sdk::installationPath() + QDir::separator() + "package-signing"
                     + QDir::separator() + fileName);
        if (source.open(QIODevice::ReadOnly)) {
            if (writeNewFile(destination, source.readAll(), isPrivateKey, errorString))
                return true;
        } else {
            *errorString = QuillmarkPlugin::tr("Cannot read %1: %2")
                               .arg(source.fileName(), source.errorString());
        }
    }
    qDebug() << "[QuillmarkPlugin] Failed to copy" << fileName << ":" << *errorString;
    return false;
}

QuillmarkPlugin::QuillmarkPlugin() = default;

QuillmarkPlugin::~QuillmarkPlugin() = default;

bool QuillmarkPlugin::initialize(const QStringList &arguments, QString *errorString)
{
    Q_UNUSED(arguments)
    Q_UNUSED(errorString)

    installTranslator();
    registerSignAction();
    watchBuildEngines();
    return true;
}

void QuillmarkPlugin::extensionsInitialized()
{
    projectListener = std::make_unique<ProjectListener>(this);
}

ExtensionSystem::IPlugin::ShutdownFlag QuillmarkPlugin::aboutToShutdown()
{
    return SynchronousShutdown;
}

void QuillmarkPlugin::onSharedSrcPathChanged(const Utils::FilePath &sharedSrcPath, bool printUserLog)
{
    // An empty folder would make every path below relative to the working folder.
    if (sharedSrcPath.isEmpty()) {
        qDebug() << "[QuillmarkPlugin] No shared source folder, regular keys not copied";
        if (printUserLog) {
            Core::MessageManager::writeDisrupting(
                "[W] The build engine has no shared source folder: the regular keys were not "
                "copied");
        }
        return;
    }

    const QString keysFolder = sharedSrcPath.toString() + QDir::separator() + KEYS_FOLDER_NAME
                               + QDir::separator();
    const QDir sharedSrcDir(sharedSrcPath.toFileInfo().absoluteFilePath());
    qDebug() << "[QuillmarkPlugin] Copy keys to:" << sharedSrcDir.path();

    if (!sharedSrcDir.exists(KEYS_FOLDER_NAME)) {
        const bool created = sharedSrcDir.mkdir(KEYS_FOLDER_NAME);
        qDebug() << "[QuillmarkPlugin] Dir created:" << created << ". "
                 << QString(sharedSrcDir.path() + QDir::separator() + KEYS_FOLDER_NAME);
    }

    QString errorString;
    const bool copied = isRealFolder(sharedSrcDir.filePath(KEYS_FOLDER_NAME), &errorString)
                        && copyRegularFile(REGULAR_KEY_FILE_NAME, keysFolder, true, &errorString)
                        && copyRegularFile(REGULAR_CERT_FILE_NAME, keysFolder, false, &errorString);
    if (copied || !printUserLog)
        return;

    Core::MessageManager::writeDisrupting(
        QString("[E] Failed to copy regular keys:\t%1").arg(errorString));
    Core::MessageManager::writeDisrupting(
        QString("[W] Please make sure that the '%1' is writable and restart the ide")
            .arg(sharedSrcPath.toUserOutput()));
    Core::MessageManager::writeDisrupting("[W] OR");
    Core::MessageManager::writeDisrupting(
        "[W] Specify the path to the default signature keys in the settings");
}

void QuillmarkPlugin::installTranslator()
{
    auto translator = new QTranslator(this);
    if (translator->load(uiLocale(), "Quillmark", "-", translationsPath()))
        QCoreApplication::installTranslator(translator);
}

void QuillmarkPlugin::registerSignAction()
{
    auto action = new QAction(tr("&Sign Packages"), this);
    connect(action, &QAction::triggered, this, &QuillmarkPlugin::showSignDialog);

    Core::Command *command = Core::ActionManager::registerAction(action,
                                                                 SIGN_DIALOG_ACTION_ID,
                                                                 Core::Context(
                                                                     Core::Constants::C_GLOBAL));
    Core::ActionContainer *toolsMenu = Core::ActionManager::createMenu(
        Kam::Constants::KAM_TOOLS_MENU);
    toolsMenu->addAction(command, Utils::Id());
}

void QuillmarkPlugin::watchBuildEngines()
{
    for (Pelk::BuildEngine *engine : Pelk::Sdk::buildEngines()) {
        connect(engine,
                &Pelk::BuildEngine::sharedSrcPathChanged,
                this,
                [this](const Utils::FilePath &sharedSrcPath) {
                    onSharedSrcPathChanged(sharedSrcPath, true);
                });
        onSharedSrcPathChanged(engine->sharedSrcPath(), false);
    }
}

void QuillmarkPlugin::showSignDialog()
{
    if (!signDialog)
        signDialog = std::make_unique<SignDialog>(Core::ICore::mainWindow());
    signDialog->show();
    Core::ICore::raiseWindow(signDialog.get());
}

} // namespace Internal
} // namespace Quillmark
