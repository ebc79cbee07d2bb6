#pragma once

#include <QGroupBox>
#include <QPointer>

QT_BEGIN_NAMESPACE
class QCheckBox;
class QToolButton;
QT_END_NAMESPACE

namespace ProjectExplorer {

class BuildStep;

namespace Internal {

// One step in the "Projects" dialog: its name, enabled check box, move and remove buttons, and
// the step's own configuration widget.
class BuildStepEntry : public QGroupBox
{
    Q_OBJECT

public:
    BuildStepEntry(BuildStep *step, bool canMoveUp, bool canMoveDown, QWidget *parent = nullptr);

    BuildStep *step() const;
    QWidget *configWidget() const;

    QCheckBox *enabledCheckBox() const;
    QToolButton *moveUpButton() const;
    QToolButton *moveDownButton() const;
    QToolButton *removeButton() const;

signals:
    void moveUpRequested();
    void moveDownRequested();
    void removeRequested();

private:
    QToolButton *addButton(const QString &text, const QString &objectName);

    QPointer<BuildStep> m_step;
    QWidget *m_configWidget = nullptr;
    QCheckBox *m_enabledCheckBox = nullptr;
    QToolButton *m_moveUpButton = nullptr;
    QToolButton *m_moveDownButton = nullptr;
    QToolButton *m_removeButton = nullptr;
};

} // namespace Internal
} // namespace ProjectExplorer
