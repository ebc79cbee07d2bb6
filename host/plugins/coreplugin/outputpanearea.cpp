#include "outputpanearea.h"

#include <utils/qtcassert.h>

#include <QButtonGroup>
#include <QHBoxLayout>
#include <QStackedWidget>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

namespace Core {
namespace Internal {

namespace {
const int flashIntervalMs = 500;
}

OutputPaneArea::OutputPaneArea(QWidget *parent)
    : QWidget(parent)
    , m_buttonRow(new QHBoxLayout)
    , m_buttons(new QButtonGroup(this))
    , m_stack(new QStackedWidget(this))
    , m_flashTimer(new QTimer(this))
{
    auto layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    m_buttonRow->setContentsMargins(2, 2, 2, 2);
    m_buttonRow->addStretch();
    layout->addLayout(m_buttonRow);
    layout->addWidget(m_stack);
    m_buttons->setExclusive(true);
    m_flashTimer->setInterval(flashIntervalMs);
    connect(m_flashTimer, &QTimer::timeout, this, &OutputPaneArea::toggleFlashingButtons);
}

OutputPaneArea::~OutputPaneArea()
{
    // The panes go with the stack after this object's members are gone.
    for (auto it = m_buttonOfPane.cbegin(); it != m_buttonOfPane.cend(); ++it)
        disconnect(it.key(), &QObject::destroyed, this, nullptr);
}

void OutputPaneArea::addPane(QWidget *pane, const QString &title)
{
    QTC_ASSERT(pane && !m_buttonOfPane.contains(pane), return );
    auto button = new QToolButton(this);
    button->setText(QString::number(m_buttonOfPane.size() + 1) + QLatin1Char(' ') + title);
    button->setObjectName(title);
    button->setCheckable(true);
    button->setAutoRaise(true);
    m_buttons->addButton(button);
    m_buttonRow->insertWidget(m_buttonRow->count() - 1, button);
    m_stack->addWidget(pane);
    m_buttonOfPane.insert(pane, button);
    connect(button, &QToolButton::clicked, this, [this, pane] { showPane(pane); });
    connect(pane, &QObject::destroyed, this, [this, pane, button] {
        m_buttonOfPane.remove(pane);
        m_flashing.removeAll(button);
        button->deleteLater();
    });
    if (m_buttonOfPane.size() == 1)
        showPane(pane);
}

void OutputPaneArea::showPane(QWidget *pane)
{
    QToolButton *button = m_buttonOfPane.value(pane);
    QTC_ASSERT(button, return );
    // Panes are raised for every message line: showing the current pane again costs nothing.
    if (m_stack->currentWidget() == pane && button->isChecked())
        return;
    m_stack->setCurrentWidget(pane);
    button->setChecked(true);
    if (m_flashing.removeAll(button) > 0)
        setButtonHighlighted(button, false);
    if (m_flashing.isEmpty())
        m_flashTimer->stop();
}

void OutputPaneArea::flashPane(QWidget *pane)
{
    QToolButton *button = m_buttonOfPane.value(pane);
    QTC_ASSERT(button, return );
    if (m_stack->currentWidget() == pane || m_flashing.contains(button))
        return;
    m_flashing.append(button);
    m_flashTimer->start();
}

QWidget *OutputPaneArea::currentPane() const
{
    return m_stack->currentWidget();
}

bool OutputPaneArea::isFlashing(QWidget *pane) const
{
    return m_flashing.contains(m_buttonOfPane.value(pane));
}

QStringList OutputPaneArea::paneTitles() const
{
    QStringList titles;
    for (int i = 0; i < m_stack->count(); ++i) {
        if (QToolButton *button = m_buttonOfPane.value(m_stack->widget(i)))
            titles.append(button->objectName());
    }
    return titles;
}

// A flashing button blinks until its pane is shown.
void OutputPaneArea::toggleFlashingButtons()
{
    m_flashOn = !m_flashOn;
    for (QToolButton *button : qAsConst(m_flashing))
        setButtonHighlighted(button, m_flashOn);
}

void OutputPaneArea::setButtonHighlighted(QToolButton *button, bool highlighted)
{
    button->setStyleSheet(highlighted ? QStringLiteral("QToolButton { background: #f0c040; }")
                                      : QString());
}

} // namespace Internal
} // namespace Core
