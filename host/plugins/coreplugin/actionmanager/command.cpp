#include "command.h"

#include "command_p.h"

#include <coreplugin/coreconstants.h>

#include <utils/qtcassert.h>

#include <QAction>
#include <QToolButton>

namespace Core {

void Command::augmentActionWithShortcutToolTip(QAction *a) const
{
    a->setToolTip(stringWithAppendedShortcut(a->text()));
    connect(this, &Command::keySequenceChanged, a, [this, a] {
        a->setToolTip(stringWithAppendedShortcut(a->text()));
    });
}

QToolButton *Command::toolButtonWithAppendedShortcut(QAction *action, Command *cmd)
{
    auto button = new QToolButton;
    button->setDefaultAction(action);
    if (cmd)
        cmd->augmentActionWithShortcutToolTip(action);
    return button;
}

namespace Internal {

Action::Action(Utils::Id id)
    : m_id(id)
    , m_proxy(new QAction(this))
{
    m_proxy->setEnabled(false);
    connect(m_proxy, &QAction::triggered, this, [this](bool checked) {
        QAction *current = currentAction();
        if (current && current->isEnabled()) {
            if (current->isCheckable())
                current->setChecked(checked);
            else
                current->trigger();
        }
    });
}

Action::~Action() = default;

Utils::Id Action::id() const
{
    return m_id;
}

void Action::setDefaultKeySequence(const QKeySequence &key)
{
    setDefaultKeySequences({key});
}

void Action::setDefaultKeySequences(const QList<QKeySequence> &keys)
{
    m_defaultKeys = keys;
    setKeySequences(keys);
}

QList<QKeySequence> Action::defaultKeySequences() const
{
    return m_defaultKeys;
}

void Action::setKeySequences(const QList<QKeySequence> &keys)
{
    m_proxy->setShortcuts(keys);
    emit keySequenceChanged();
}

QList<QKeySequence> Action::keySequences() const
{
    return m_proxy->shortcuts();
}

QKeySequence Action::keySequence() const
{
    return m_proxy->shortcut();
}

void Action::setDescription(const QString &text)
{
    m_defaultText = text;
}

QString Action::description() const
{
    if (!m_defaultText.isEmpty())
        return m_defaultText;
    if (QAction *a = currentAction()) {
        QString text = a->text();
        text.remove(QLatin1Char('&'));
        if (!text.isEmpty())
            return text;
    }
    return m_id.toString();
}

QAction *Action::action() const
{
    return m_proxy;
}

QString Action::stringWithAppendedShortcut(const QString &str) const
{
    const QKeySequence key = keySequence();
    if (key.isEmpty())
        return str;
    return QString::fromLatin1("%1 <span style=\"color: gray; font-size: small\">%2</span>")
        .arg(str, key.toString(QKeySequence::NativeText));
}

Context Action::context() const
{
    return m_context;
}

bool Action::isActive() const
{
    return m_active;
}

void Action::setAttribute(CommandAttribute attr)
{
    m_attributes |= attr;
    updateProxy();
}

void Action::removeAttribute(CommandAttribute attr)
{
    m_attributes &= ~attr;
    updateProxy();
}

bool Action::hasAttribute(CommandAttribute attr) const
{
    return m_attributes & attr;
}

bool Action::isScriptable() const
{
    return m_scriptable;
}

bool Action::isScriptable(const Context &context) const
{
    if (context == m_context)
        return m_scriptable;
    for (Utils::Id id : context) {
        if (m_contextActionMap.contains(id))
            return m_scriptable;
    }
    return false;
}

// The host has one context at a time, the global one: an action registered for it wins,
// else the most recently registered action of any context.
QAction *Action::currentAction() const
{
    const QPointer<QAction> global = m_contextActionMap.value(Constants::C_GLOBAL);
    if (global)
        return global;
    for (auto it = m_contextActionMap.cbegin(); it != m_contextActionMap.cend(); ++it) {
        if (it.value())
            return it.value();
    }
    return nullptr;
}

void Action::addOverrideAction(QAction *action, const Context &context, bool scriptable)
{
    QTC_ASSERT(action, return );
    const Context actualContext = context.isEmpty() ? Context(Constants::C_GLOBAL) : context;
    if (m_context.isEmpty())
        m_context = actualContext;
    for (Utils::Id contextId : actualContext) {
        const QPointer<QAction> existing = m_contextActionMap.value(contextId);
        if (existing && existing != action) {
            qWarning("addOverrideAction: action \"%s\" is already registered for context \"%s\" "
                     "as \"%s\"; the new action replaces it.",
                     qPrintable(action->text()),
                     contextId.name().constData(),
                     qPrintable(existing->text()));
        }
        m_contextActionMap.insert(contextId, action);
    }
    m_scriptable = m_scriptable || scriptable;
    connect(action, &QObject::destroyed, this, &Action::updateActiveState, Qt::QueuedConnection);
    updateActiveState();
}

void Action::removeOverrideAction(QAction *action)
{
    for (auto it = m_contextActionMap.begin(); it != m_contextActionMap.end();) {
        if (!it.value() || it.value() == action)
            it = m_contextActionMap.erase(it);
        else
            ++it;
    }
    updateActiveState();
}

bool Action::isEmpty() const
{
    for (const QPointer<QAction> &action : m_contextActionMap) {
        if (action)
            return false;
    }
    return true;
}

void Action::updateActiveState()
{
    QAction *current = currentAction();
    if (m_connectedAction != current) {
        if (m_connectedAction)
            disconnect(m_connectedAction, &QAction::changed, this, &Action::updateProxy);
        m_connectedAction = current;
        if (current)
            connect(current, &QAction::changed, this, &Action::updateProxy);
    }
    updateProxy();
}

void Action::updateProxy()
{
    QAction *current = currentAction();
    if (!current) {
        m_proxy->setEnabled(false);
        m_proxy->setVisible(!hasAttribute(CA_Hide));
        if (m_active) {
            m_active = false;
            emit activeStateChanged();
        }
        return;
    }
    m_proxy->setText(current->text());
    m_proxy->setIcon(current->icon());
    m_proxy->setIconText(current->iconText());
    m_proxy->setToolTip(current->toolTip());
    m_proxy->setStatusTip(current->statusTip());
    m_proxy->setMenuRole(current->menuRole());
    m_proxy->setCheckable(current->isCheckable());
    m_proxy->setChecked(current->isChecked());
    m_proxy->setSeparator(current->isSeparator());
    m_proxy->setEnabled(current->isEnabled());
    m_proxy->setVisible(current->isVisible());
    if (current->menu())
        m_proxy->setMenu(current->menu());
    const bool active = current->isEnabled() && current->isVisible();
    if (active != m_active) {
        m_active = active;
        emit activeStateChanged();
    }
}

} // namespace Internal
} // namespace Core
