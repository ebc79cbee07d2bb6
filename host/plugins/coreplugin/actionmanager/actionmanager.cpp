#include "actionmanager.h"

#include "actioncontainer_p.h"
#include "command_p.h"

#include <utils/qtcassert.h>

#include <QAction>
#include <QDebug>
#include <QHash>

namespace Core {

namespace Internal {

class ActionManagerPrivate
{
public:
    ~ActionManagerPrivate()
    {
        // Containers first: they hold the commands' proxy actions in their menus.
        qDeleteAll(m_idContainerMap);
        qDeleteAll(m_idCmdMap);
    }

    Action *overridableAction(Utils::Id id);
    // The container of that id, made if there is none yet.
    template<typename Container>
    ActionContainer *containerOfId(Utils::Id id);

    QHash<Utils::Id, Action *> m_idCmdMap;
    QHash<Utils::Id, ActionContainerPrivate *> m_idContainerMap;
    bool m_presentationModeEnabled = false;
};

} // namespace Internal

using namespace Internal;

namespace {
ActionManager *m_instance = nullptr;
ActionManagerPrivate *d = nullptr;
} // namespace

ActionManager::ActionManager(QObject *parent)
    : QObject(parent)
{
    m_instance = this;
    d = new ActionManagerPrivate;
}

ActionManager::~ActionManager()
{
    // Destroyed containers and commands look at d: it must be gone while they go.
    ActionManagerPrivate *old = d;
    d = nullptr;
    delete old;
    m_instance = nullptr;
}

ActionManager *ActionManager::instance()
{
    return m_instance;
}

ActionContainer *ActionManager::createMenu(Utils::Id id)
{
    QTC_ASSERT(d, return nullptr);
    return d->containerOfId<MenuActionContainer>(id);
}

ActionContainer *ActionManager::createMenuBar(Utils::Id id)
{
    QTC_ASSERT(d, return nullptr);
    return d->containerOfId<MenuBarActionContainer>(id);
}

template<typename Container>
ActionContainer *ActionManagerPrivate::containerOfId(Utils::Id id)
{
    if (ActionContainerPrivate *existing = m_idContainerMap.value(id))
        return existing;
    auto container = new Container(id);
    m_idContainerMap.insert(id, container);
    QObject::connect(container, &QObject::destroyed, m_instance, [id] {
        if (d)
            d->m_idContainerMap.remove(id);
    });
    return container;
}

Action *ActionManagerPrivate::overridableAction(Utils::Id id)
{
    if (Action *existing = m_idCmdMap.value(id))
        return existing;
    auto a = new Action(id);
    m_idCmdMap.insert(id, a);
    a->action()->setObjectName(id.toString());
    return a;
}

Command *ActionManager::registerAction(QAction *action,
                                       Utils::Id id,
                                       const Context &context,
                                       bool scriptable)
{
    QTC_ASSERT(d, return nullptr);
    QTC_ASSERT(action, return nullptr);
    QTC_ASSERT(id.isValid(), return nullptr);
    const bool isNew = !d->m_idCmdMap.contains(id);
    Action *a = d->overridableAction(id);
    a->addOverrideAction(action, context, scriptable);
    if (isNew) {
        emit m_instance->commandListChanged();
        emit m_instance->commandAdded(id);
    }
    return a;
}

Command *ActionManager::command(Utils::Id id)
{
    return d ? d->m_idCmdMap.value(id) : nullptr;
}

ActionContainer *ActionManager::actionContainer(Utils::Id id)
{
    return d ? d->m_idContainerMap.value(id) : nullptr;
}

QList<Command *> ActionManager::commands()
{
    QList<Command *> result;
    if (!d)
        return result;
    for (Action *action : qAsConst(d->m_idCmdMap))
        result.append(action);
    return result;
}

void ActionManager::unregisterAction(QAction *action, Utils::Id id)
{
    QTC_ASSERT(d, return );
    Action *a = d->m_idCmdMap.value(id);
    if (!a) {
        qWarning() << "unregisterAction: id" << id.name()
                   << "is registered with a different command type.";
        return;
    }
    a->removeOverrideAction(action);
    if (a->isEmpty()) {
        d->m_idCmdMap.remove(id);
        delete a;
    }
    emit m_instance->commandListChanged();
}

void ActionManager::setPresentationModeEnabled(bool enabled)
{
    if (d)
        d->m_presentationModeEnabled = enabled;
}

bool ActionManager::isPresentationModeEnabled()
{
    return d && d->m_presentationModeEnabled;
}

QString ActionManager::withNumberAccelerator(const QString &text, const int number)
{
    if (number > 9)
        return text;
    return QString::fromLatin1("&%1 | %2").arg(number).arg(text);
}

} // namespace Core
