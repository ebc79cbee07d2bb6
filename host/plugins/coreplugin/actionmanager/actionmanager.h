#pragma once

#include <coreplugin/actionmanager/actioncontainer.h>
#include <coreplugin/actionmanager/command.h>
#include <coreplugin/core_global.h>
#include <coreplugin/coreconstants.h>
#include <coreplugin/icontext.h>

#include <QList>
#include <QObject>

QT_BEGIN_NAMESPACE
class QAction;
class QString;
QT_END_NAMESPACE

namespace Core {

namespace Internal {
class ActionManagerPrivate;
class CorePlugin;
} // namespace Internal

// Commands (registered actions) and action containers (menus, menu bars) by id.
class CORE_EXPORT ActionManager : public QObject
{
    Q_OBJECT

public:
    static ActionManager *instance();

    static ActionContainer *createMenu(Utils::Id id);
    static ActionContainer *createMenuBar(Utils::Id id);

    static Command *registerAction(QAction *action,
                                   Utils::Id id,
                                   const Context &context = Context(Constants::C_GLOBAL),
                                   bool scriptable = false);

    static Command *command(Utils::Id id);
    static ActionContainer *actionContainer(Utils::Id id);

    static QList<Command *> commands();

    static void unregisterAction(QAction *action, Utils::Id id);

    static void setPresentationModeEnabled(bool enabled);
    static bool isPresentationModeEnabled();

    static QString withNumberAccelerator(const QString &text, const int number);

signals:
    void commandListChanged();
    void commandAdded(Utils::Id id);

private:
    ActionManager(QObject *parent = nullptr);
    ~ActionManager() override;

    friend class Internal::CorePlugin; // initialization
};

} // namespace Core
