#pragma once

#include "core_global.h"

#include <utils/id.h>

#include <QObject>
#include <QSettings>

QT_BEGIN_NAMESPACE
class QMainWindow;
class QWidget;
QT_END_NAMESPACE

namespace Core {

namespace Internal {
class CorePlugin;
}

// The IDE's main window and settings.
//
// Host-only additions: echoesToTerminal() (the IDE runs headless with "--build": the main window
// stays hidden, the build output is printed to stdout and the messages to stderr) and
// setEchoesToTerminal().
class CORE_EXPORT ICore : public QObject
{
    Q_OBJECT

    friend class Internal::CorePlugin;

    explicit ICore(QMainWindow *mainWindow);
    ~ICore() override;

public:
    enum class ContextPriority { High, Low };

    static ICore *instance();

    static bool showOptionsDialog(const Utils::Id page, QWidget *parent = nullptr);

    static QSettings *settings(QSettings::Scope scope = QSettings::UserScope);

    static QString resourcePath();
    static QString userResourcePath();
    static QString cacheResourcePath();
    static QString libexecPath();
    static QString versionString();

    static QMainWindow *mainWindow();
    static QWidget *dialogParent();
    static void raiseWindow(QWidget *widget);

    static bool echoesToTerminal();
    static void setEchoesToTerminal(bool echo);

signals:
    void coreAboutToOpen();
    void coreOpened();
    void coreAboutToClose();
};

} // namespace Core
