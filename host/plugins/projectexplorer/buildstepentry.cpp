#include "buildstepentry.h"

#include "buildmanager.h"
#include "buildstep.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QToolButton>
#include <QVBoxLayout>

namespace ProjectExplorer {
namespace Internal {

BuildStepEntry::BuildStepEntry(BuildStep *step, bool canMoveUp, bool canMoveDown, QWidget *parent)
    : QGroupBox(step->displayName(), parent)
    , m_step(step)
{
    setObjectName("buildStepEntry");
    auto header = new QHBoxLayout;
    m_enabledCheckBox = new QCheckBox(tr("Enabled"));
    m_enabledCheckBox->setObjectName("enabledCheckBox");
    m_enabledCheckBox->setChecked(step->enabled());
    header->addWidget(m_enabledCheckBox);
    header->addStretch();
    m_moveUpButton = addButton(tr("Move Up"), "moveUpButton");
    m_moveDownButton = addButton(tr("Move Down"), "moveDownButton");
    m_removeButton = addButton(tr("Remove"), "removeButton");
    header->addWidget(m_moveUpButton);
    header->addWidget(m_moveDownButton);
    header->addWidget(m_removeButton);

    const bool building = BuildManager::isBuilding(step);
    m_moveUpButton->setEnabled(canMoveUp && !building);
    m_moveDownButton->setEnabled(canMoveDown && !building);
    m_removeButton->setEnabled(!step->isImmutable() && !building);

    m_configWidget = step->doCreateConfigWidget();
    auto layout = new QVBoxLayout(this);
    layout->addLayout(header);
    if (m_configWidget)
        layout->addWidget(m_configWidget);

    connect(m_enabledCheckBox, &QCheckBox::toggled, step, &BuildStep::setEnabled);
    connect(step, &BuildStep::enabledChanged, m_enabledCheckBox, [this] {
        m_enabledCheckBox->setChecked(m_step->enabled());
    });
    connect(step, &BuildStep::displayNameChanged, this, [this] { setTitle(m_step->displayName()); });
    connect(m_moveUpButton, &QToolButton::clicked, this, &BuildStepEntry::moveUpRequested);
    connect(m_moveDownButton, &QToolButton::clicked, this, &BuildStepEntry::moveDownRequested);
    connect(m_removeButton, &QToolButton::clicked, this, &BuildStepEntry::removeRequested);
}

BuildStep *BuildStepEntry::step() const
{
    return m_step;
}

QWidget *BuildStepEntry::configWidget() const
{
    return m_configWidget;
}

QCheckBox *BuildStepEntry::enabledCheckBox() const
{
    return m_enabledCheckBox;
}

QToolButton *BuildStepEntry::moveUpButton() const
{
    return m_moveUpButton;
}

QToolButton *BuildStepEntry::moveDownButton() const
{
    return m_moveDownButton;
}

QToolButton *BuildStepEntry::removeButton() const
{
    return m_removeButton;
}

QToolButton *BuildStepEntry::addButton(const QString &text, const QString &objectName)
{
    auto button = new QToolButton;
    button->setText(text);
    button->setObjectName(objectName);
    return button;
}

} // namespace Internal
} // namespace ProjectExplorer
