#pragma once

#include "command.h"

#include <QKeySequence>
#include <QMap>
#include <QPointer>

namespace Core {
namespace Internal {

// The command of an id: a proxy action (the one placed in menus) that forwards to the
// action registered for the id, taking over its text, icon and state.
class Action : public Command
{
    Q_OBJECT

public:
    explicit Action(Utils::Id id);
    ~Action() override;

    Utils::Id id() const override;

    void setDefaultKeySequence(const QKeySequence &key) override;
    void setDefaultKeySequences(const QList<QKeySequence> &key) override;
    QList<QKeySequence> defaultKeySequences() const override;

    void setKeySequences(const QList<QKeySequence> &keys) override;
    QList<QKeySequence> keySequences() const override;
    QKeySequence keySequence() const override;

    void setDescription(const QString &text) override;
    QString description() const override;

    QAction *action() const override;

    QString stringWithAppendedShortcut(const QString &str) const override;

    Context context() const override;

    bool isActive() const override;

    void setAttribute(CommandAttribute attr) override;
    void removeAttribute(CommandAttribute attr) override;
    bool hasAttribute(CommandAttribute attr) const override;

    bool isScriptable() const override;
    bool isScriptable(const Context &context) const override;

    void addOverrideAction(QAction *action, const Context &context, bool scriptable);
    void removeOverrideAction(QAction *action);
    bool isEmpty() const;

private:
    QAction *currentAction() const;
    void updateActiveState();
    void updateProxy();

    Utils::Id m_id;
    Context m_context;
    CommandAttributes m_attributes;
    QList<QKeySequence> m_defaultKeys;
    QString m_defaultText;
    bool m_active = false;
    bool m_scriptable = false;
    QAction *m_proxy;
    QMap<Utils::Id, QPointer<QAction>> m_contextActionMap;
    QPointer<QAction> m_connectedAction;
};

} // namespace Internal
} // namespace Core
