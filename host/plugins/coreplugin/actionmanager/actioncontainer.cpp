#include "actioncontainer.h"

#include "actioncontainer_p.h"
#include "actionmanager.h"
#include "command.h"

#include <coreplugin/coreconstants.h>

#include <utils/qtcassert.h>

#include <QAction>
#include <QDebug>
#include <QMenu>
#include <QMenuBar>
#include <QTimer>

namespace Core {

Command *ActionContainer::addSeparator(Utils::Id group)
{
    static const Context context(Constants::C_GLOBAL);
    return addSeparator(context, group);
}

namespace Internal {

ActionContainerPrivate::ActionContainerPrivate(Utils::Id id)
    : m_id(id)
{
    appendGroup(Constants::G_DEFAULT_ONE);
    appendGroup(Constants::G_DEFAULT_TWO);
    appendGroup(Constants::G_DEFAULT_THREE);
    scheduleUpdate();
}

void ActionContainerPrivate::setOnAllDisabledBehavior(OnAllDisabledBehavior behavior)
{
    m_onAllDisabledBehavior = behavior;
}

ActionContainer::OnAllDisabledBehavior ActionContainerPrivate::onAllDisabledBehavior() const
{
    return m_onAllDisabledBehavior;
}

void ActionContainerPrivate::appendGroup(Utils::Id groupId)
{
    m_groups.append(Group(groupId));
}

void ActionContainerPrivate::insertGroup(Utils::Id before, Utils::Id groupId)
{
    for (auto it = m_groups.begin(); it != m_groups.end(); ++it) {
        if (it->id == before) {
            m_groups.insert(it, Group(groupId));
            return;
        }
    }
    QTC_ASSERT(false, appendGroup(groupId));
}

QList<Group>::const_iterator ActionContainerPrivate::findGroup(Utils::Id groupId) const
{
    auto it = m_groups.constBegin();
    while (it != m_groups.constEnd() && it->id != groupId)
        ++it;
    return it;
}

QAction *ActionContainerPrivate::insertLocation(Utils::Id groupId) const
{
    const auto group = findGroup(groupId);
    QTC_ASSERT(group != m_groups.constEnd(), return nullptr);
    return insertLocation(group + 1);
}

// The first action of the first non-empty group from 'group' on: items of the group before
// it are inserted in front of that action; no such action means "append".
QAction *ActionContainerPrivate::insertLocation(QList<Group>::const_iterator group) const
{
    for (; group != m_groups.constEnd(); ++group) {
        if (group->items.isEmpty())
            continue;
        QObject *item = group->items.first();
        if (auto cmd = qobject_cast<Command *>(item))
            return cmd->action();
        if (auto container = qobject_cast<ActionContainerPrivate *>(item)) {
            if (QAction *action = container->containerAction())
                return action;
        }
    }
    return nullptr;
}

void ActionContainerPrivate::addAction(Command *command, Utils::Id groupId)
{
    QTC_ASSERT(command && command->action(), return );
    const Utils::Id actualGroupId = groupId.isValid() ? groupId
                                                      : Utils::Id(Constants::G_DEFAULT_TWO);
    const auto groupIt = findGroup(actualGroupId);
    QTC_ASSERT(groupIt != m_groups.constEnd(),
               qDebug() << "Can't find group" << groupId.name() << "in container" << id().name();
               return );
    QAction *before = insertLocation(groupIt + 1);
    m_groups[int(groupIt - m_groups.constBegin())].items.append(command);
    connect(command, &QObject::destroyed, this, [this, command] { itemDestroyed(command); });
    connect(command->action(), &QAction::changed, this, &ActionContainerPrivate::scheduleUpdate);
    insertAction(before, command->action());
    scheduleUpdate();
}

void ActionContainerPrivate::addMenu(ActionContainer *menu, Utils::Id groupId)
{
    auto containerPrivate = qobject_cast<ActionContainerPrivate *>(menu);
    QTC_ASSERT(containerPrivate && containerPrivate->containerAction(), return );
    const Utils::Id actualGroupId = groupId.isValid() ? groupId
                                                      : Utils::Id(Constants::G_DEFAULT_TWO);
    const auto groupIt = findGroup(actualGroupId);
    QTC_ASSERT(groupIt != m_groups.constEnd(), return );
    QAction *before = insertLocation(groupIt + 1);
    m_groups[int(groupIt - m_groups.constBegin())].items.append(menu);
    connect(menu, &QObject::destroyed, this, [this, menu] { itemDestroyed(menu); });
    insertMenu(before, menu);
    scheduleUpdate();
}

void ActionContainerPrivate::addMenu(ActionContainer *before, ActionContainer *menu)
{
    auto beforePrivate = qobject_cast<ActionContainerPrivate *>(before);
    QTC_ASSERT(beforePrivate && beforePrivate->containerAction(), return );
    for (Group &group : m_groups) {
        const int insertionPoint = group.items.indexOf(before);
        if (insertionPoint >= 0) {
            group.items.insert(insertionPoint, menu);
            break;
        }
    }
    connect(menu, &QObject::destroyed, this, [this, menu] { itemDestroyed(menu); });
    insertMenu(beforePrivate->containerAction(), menu);
    scheduleUpdate();
}

Command *ActionContainerPrivate::addSeparator(const Context &context,
                                              Utils::Id group,
                                              QAction **outSeparator)
{
    static int separatorIdCount = 0;
    auto separator = new QAction(this);
    separator->setSeparator(true);
    const Utils::Id sepId = id().withSuffix(".Separator.").withSuffix(++separatorIdCount);
    Command *cmd = ActionManager::registerAction(separator, sepId, context);
    addAction(cmd, group);
    if (outSeparator)
        *outSeparator = separator;
    return cmd;
}

void ActionContainerPrivate::clear()
{
    for (Group &group : m_groups) {
        for (QObject *item : qAsConst(group.items)) {
            if (auto command = qobject_cast<Command *>(item)) {
                removeAction(command->action());
                disconnect(command, &QObject::destroyed, this, nullptr);
                disconnect(command->action(), &QAction::changed, this, nullptr);
            } else if (auto container = qobject_cast<ActionContainer *>(item)) {
                container->clear();
                disconnect(container, &QObject::destroyed, this, nullptr);
                removeMenu(container);
            }
        }
        group.items.clear();
    }
    scheduleUpdate();
}

void ActionContainerPrivate::itemDestroyed(QObject *sender)
{
    for (Group &group : m_groups) {
        if (group.items.removeAll(sender) > 0)
            break;
    }
}

Utils::Id ActionContainerPrivate::id() const
{
    return m_id;
}

QMenu *ActionContainerPrivate::menu() const
{
    return nullptr;
}

QMenuBar *ActionContainerPrivate::menuBar() const
{
    return nullptr;
}

void ActionContainerPrivate::scheduleUpdate()
{
    if (m_updateRequested)
        return;
    m_updateRequested = true;
    QTimer::singleShot(0, this, &ActionContainerPrivate::update);
}

void ActionContainerPrivate::update()
{
    updateInternal();
    m_updateRequested = false;
}

// MenuActionContainer

MenuActionContainer::MenuActionContainer(Utils::Id id)
    : ActionContainerPrivate(id)
    , m_menu(new QMenu)
{
    m_menu->setObjectName(id.toString());
    m_menu->menuAction()->setMenuRole(QAction::NoRole);
    setOnAllDisabledBehavior(Disable);
}

MenuActionContainer::~MenuActionContainer()
{
    delete m_menu;
}

QMenu *MenuActionContainer::menu() const
{
    return m_menu;
}

QAction *MenuActionContainer::containerAction() const
{
    return m_menu ? m_menu->menuAction() : nullptr;
}

void MenuActionContainer::insertAction(QAction *before, QAction *action)
{
    m_menu->insertAction(before, action);
}

void MenuActionContainer::insertMenu(QAction *before, ActionContainer *container)
{
    QMenu *menu = container->menu();
    QTC_ASSERT(menu, return );
    menu->setParent(m_menu, menu->windowFlags()); // work around issues with Qt Wayland (QTBUG-68636)
    m_menu->insertMenu(before, menu);
}

void MenuActionContainer::removeAction(QAction *action)
{
    m_menu->removeAction(action);
}

void MenuActionContainer::removeMenu(ActionContainer *container)
{
    QMenu *menu = container->menu();
    QTC_ASSERT(menu, return );
    m_menu->removeAction(menu->menuAction());
}

// Disables or hides the menu when nothing in it can be used.
bool MenuActionContainer::updateInternal()
{
    if (!m_menu || onAllDisabledBehavior() == Show)
        return true;
    bool hasUsableItems = false;
    const QList<QAction *> actions = m_menu->actions();
    for (QAction *action : actions) {
        if (action->isSeparator() || !action->isVisible())
            continue;
        if (action->menu()) {
            // Sub-menus are updated by their own containers.
            hasUsableItems = hasUsableItems || action->isEnabled();
        } else if (action->isEnabled()) {
            hasUsableItems = true;
        }
    }
    if (onAllDisabledBehavior() == Hide)
        m_menu->menuAction()->setVisible(hasUsableItems);
    else
        m_menu->menuAction()->setEnabled(hasUsableItems);
    return hasUsableItems;
}

// MenuBarActionContainer

MenuBarActionContainer::MenuBarActionContainer(Utils::Id id)
    : ActionContainerPrivate(id)
{
    setOnAllDisabledBehavior(Show);
}

void MenuBarActionContainer::setMenuBar(QMenuBar *menuBar)
{
    m_menuBar = menuBar;
}

QMenuBar *MenuBarActionContainer::menuBar() const
{
    return m_menuBar;
}

QAction *MenuBarActionContainer::containerAction() const
{
    return nullptr;
}

void MenuBarActionContainer::insertAction(QAction *before, QAction *action)
{
    QTC_ASSERT(m_menuBar, return );
    m_menuBar->insertAction(before, action);
}

void MenuBarActionContainer::insertMenu(QAction *before, ActionContainer *container)
{
    QTC_ASSERT(m_menuBar, return );
    QMenu *menu = container->menu();
    QTC_ASSERT(menu, return );
    menu->setParent(m_menuBar, menu->windowFlags());
    m_menuBar->insertMenu(before, menu);
}

void MenuBarActionContainer::removeAction(QAction *action)
{
    if (m_menuBar)
        m_menuBar->removeAction(action);
}

void MenuBarActionContainer::removeMenu(ActionContainer *container)
{
    QMenu *menu = container->menu();
    QTC_ASSERT(menu && m_menuBar, return );
    m_menuBar->removeAction(menu->menuAction());
}

bool MenuBarActionContainer::updateInternal()
{
    return true;
}

} // namespace Internal
} // namespace Core
