#pragma once

#include <QHash>
#include <QWidget>

QT_BEGIN_NAMESPACE
class QButtonGroup;
class QHBoxLayout;
class QStackedWidget;
class QTimer;
class QToolButton;
QT_END_NAMESPACE

namespace Core {
namespace Internal {

// The bottom area of the main window: a row of pane buttons above the current pane.
class OutputPaneArea : public QWidget
{
    Q_OBJECT

public:
    explicit OutputPaneArea(QWidget *parent = nullptr);
    ~OutputPaneArea() override;

    void addPane(QWidget *pane, const QString &title);
    void showPane(QWidget *pane);
    void flashPane(QWidget *pane);

    QWidget *currentPane() const;
    bool isFlashing(QWidget *pane) const;
    QStringList paneTitles() const;

private:
    void toggleFlashingButtons();
    void setButtonHighlighted(QToolButton *button, bool highlighted);

    QHBoxLayout *m_buttonRow;
    QButtonGroup *m_buttons;
    QStackedWidget *m_stack;
    QTimer *m_flashTimer;
    QHash<QWidget *, QToolButton *> m_buttonOfPane;
    QList<QToolButton *> m_flashing;
    bool m_flashOn = false;
};

} // namespace Internal
} // namespace Core
