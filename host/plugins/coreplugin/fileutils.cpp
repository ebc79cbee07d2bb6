#include "fileutils.h"

#include <utils/environment.h>

#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMessageBox>
#include <QProcess>
#include <QUrl>

namespace Core {

namespace {

QString lastShownPath;

bool isHeadless()
{
    const QString platform = QGuiApplication::platformName();
    return platform == QLatin1String("offscreen") || platform == QLatin1String("minimal");
}

// Asks a freedesktop file manager to open the folder with the file selected.
bool showItemThroughFileManager1(const QString &path)
{
    const Utils::Environment env = Utils::Environment::systemEnvironment();
    const Utils::FilePath dbusSend = env.searchInPath(QLatin1String("dbus-send"));
    if (dbusSend.isEmpty() || env.value(QLatin1String("DBUS_SESSION_BUS_ADDRESS")).isEmpty())
        return false;
    const QStringList args{QLatin1String("--session"),
                           QLatin1String("--type=method_call"),
                           QLatin1String("--dest=org.freedesktop.FileManager1"),
                           QLatin1String("/org/freedesktop/FileManager1"),
                           QLatin1String("org.freedesktop.FileManager1.ShowItems"),
                           QLatin1String("array:string:") + QUrl::fromLocalFile(path).toString(),
                           QLatin1String("string:")};
    return QProcess::execute(dbusSend.toString(), args) == 0;
}

bool openFolder(const QString &folder)
{
    const Utils::FilePath xdgOpen = Utils::Environment::systemEnvironment().searchInPath(
        QLatin1String("xdg-open"));
    return !xdgOpen.isEmpty() && QProcess::startDetached(xdgOpen.toString(), {folder});
}

} // namespace

void FileUtils::showInGraphicalShell(QWidget *parent, const QString &path)
{
    lastShownPath = path;
    if (isHeadless()) {
        qInfo("showInGraphicalShell: %s", qPrintable(path));
        return;
    }
    const QFileInfo fileInfo(path);
    if (fileInfo.exists() && !fileInfo.isDir()
        && showItemThroughFileManager1(fileInfo.absoluteFilePath()))
        return;
    const QString folder = fileInfo.isDir() ? fileInfo.absoluteFilePath() : fileInfo.absolutePath();
    if (!openFolder(folder)) {
        QMessageBox::warning(
            parent,
            QCoreApplication::translate("Core::Internal", "Launching a file browser failed"),
            QCoreApplication::translate("Core::Internal",
                                        "Unable to start the file manager for \"%1\".")
                .arg(QDir::toNativeSeparators(folder)));
    }
}

QString FileUtils::msgGraphicalShellAction()
{
    return QCoreApplication::translate("Core::Internal", "Show in File System View");
}

QString FileUtils::lastShownInGraphicalShell()
{
    return lastShownPath;
}

} // namespace Core
