#pragma once

#include "actioncontainer.h"

#include <QList>
#include <QPointer>

namespace Core {
namespace Internal {

struct Group
{
    Group(Utils::Id id)
        : id(id)
    {}
    Utils::Id id;
    QList<QObject *> items; // Command * or ActionContainer *
};

// Groups of commands and sub-menus in order; what is added to a group goes at its end.
class ActionContainerPrivate : public ActionContainer
{
    Q_OBJECT

public:
    explicit ActionContainerPrivate(Utils::Id id);
    ~ActionContainerPrivate() override = default;

    void setOnAllDisabledBehavior(OnAllDisabledBehavior behavior) override;
    ActionContainer::OnAllDisabledBehavior onAllDisabledBehavior() const override;

    QAction *insertLocation(Utils::Id groupId) const override;
    void appendGroup(Utils::Id id) override;
    void insertGroup(Utils::Id before, Utils::Id groupId) override;
    void addAction(Command *action, Utils::Id group = Utils::Id()) override;
    void addMenu(ActionContainer *menu, Utils::Id group = Utils::Id()) override;
    void addMenu(ActionContainer *before, ActionContainer *menu) override;
    Command *addSeparator(const Context &context,
                          Utils::Id group = Utils::Id(),
                          QAction **outSeparator = nullptr) override;
    void clear() override;

    Utils::Id id() const override;

    QMenu *menu() const override;
    QMenuBar *menuBar() const override;

    virtual QAction *containerAction() const = 0;
    virtual void insertAction(QAction *before, QAction *action) = 0;
    virtual void insertMenu(QAction *before, ActionContainer *container) = 0;
    virtual void removeAction(QAction *action) = 0;
    virtual void removeMenu(ActionContainer *container) = 0;
    virtual bool updateInternal() = 0;

protected:
    void scheduleUpdate();

private:
    QList<Group>::const_iterator findGroup(Utils::Id groupId) const;
    QAction *insertLocation(QList<Group>::const_iterator group) const;
    void itemDestroyed(QObject *sender);
    void update();

    QList<Group> m_groups;
    OnAllDisabledBehavior m_onAllDisabledBehavior = Disable;
    Utils::Id m_id;
    bool m_updateRequested = false;
};

class MenuActionContainer : public ActionContainerPrivate
{
    Q_OBJECT

public:
    explicit MenuActionContainer(Utils::Id id);
    ~MenuActionContainer() override;

    QMenu *menu() const override;

    QAction *containerAction() const override;

    void insertAction(QAction *before, QAction *action) override;
    void insertMenu(QAction *before, ActionContainer *container) override;
    void removeAction(QAction *action) override;
    void removeMenu(ActionContainer *container) override;

protected:
    bool updateInternal() override;

private:
    QPointer<QMenu> m_menu;
};

class MenuBarActionContainer : public ActionContainerPrivate
{
    Q_OBJECT

public:
    explicit MenuBarActionContainer(Utils::Id id);

    void setMenuBar(QMenuBar *menuBar);
    QMenuBar *menuBar() const override;

    QAction *containerAction() const override;

    void insertAction(QAction *before, QAction *action) override;
    void insertMenu(QAction *before, ActionContainer *container) override;
    void removeAction(QAction *action) override;
    void removeMenu(ActionContainer *container) override;

protected:
    bool updateInternal() override;

private:
    QPointer<QMenuBar> m_menuBar;
};

} // namespace Internal
} // namespace Core
