#include "buildstepspanel.h"

#include "buildconfiguration.h"
#include "buildmanager.h"
#include "buildstep.h"
#include "buildstepentry.h"
#include "buildsteplist.h"
#include "project.h"
#include "session.h"
#include "target.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>

namespace ProjectExplorer {
namespace Internal {

BuildStepsPanel::BuildStepsPanel(QWidget *parent)
    : QDialog(parent)
    , m_projectLabel(new QLabel)
    , m_configurationComboBox(new QComboBox)
    , m_entriesLayout(new QVBoxLayout)
    , m_addStepButton(new QPushButton(tr("Add Build Step")))
    , m_addStepMenu(new QMenu(this))
{
    setWindowTitle(tr("Projects"));
    resize(640, 480);
    m_configurationComboBox->setObjectName("buildConfigurationComboBox");
    m_addStepButton->setObjectName("addBuildStepPushButton");
    m_addStepButton->setMenu(m_addStepMenu);

    auto form = new QFormLayout;
    form->addRow(tr("Project:"), m_projectLabel);
    form->addRow(tr("Build configuration:"), m_configurationComboBox);

    auto entriesWidget = new QWidget;
    auto entriesColumn = new QVBoxLayout(entriesWidget);
    entriesColumn->addLayout(m_entriesLayout);
    entriesColumn->addWidget(m_addStepButton, 0, Qt::AlignLeft);
    entriesColumn->addStretch();
    auto scrollArea = new QScrollArea;
    scrollArea->setWidgetResizable(true);
    scrollArea->setWidget(entriesWidget);

    auto buttons = new QDialogButtonBox(QDialogButtonBox::Close);
    auto layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(new QLabel(tr("Build Steps")));
    layout->addWidget(scrollArea);
    layout->addWidget(buttons);

    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_addStepMenu, &QMenu::aboutToShow, this, &BuildStepsPanel::populateAddStepMenu);
    connect(m_configurationComboBox,
            QOverload<int>::of(&QComboBox::activated),
            this,
            &BuildStepsPanel::activateConfiguration);
    connect(SessionManager::instance(),
            &SessionManager::startupProjectChanged,
            this,
            &BuildStepsPanel::refresh);
    connect(BuildManager::instance(),
            &BuildManager::buildStateChanged,
            this,
            &BuildStepsPanel::rebuildEntries);
    refresh();
}

BuildStepList *BuildStepsPanel::stepList() const
{
    return m_stepList;
}

QList<BuildStepEntry *> BuildStepsPanel::entries() const
{
    return m_entries;
}

QMenu *BuildStepsPanel::addStepMenu() const
{
    return m_addStepMenu;
}

QComboBox *BuildStepsPanel::configurationComboBox() const
{
    return m_configurationComboBox;
}

void BuildStepsPanel::refresh()
{
    for (const QMetaObject::Connection &connection : qAsConst(m_watchConnections))
        disconnect(connection);
    m_watchConnections.clear();

    Project *project = SessionManager::startupProject();
    Target *target = project ? project->activeTarget() : nullptr;
    BuildConfiguration *active = target ? target->activeBuildConfiguration() : nullptr;
    if (project) {
        m_watchConnections << connect(project,
                                      &Project::activeTargetChanged,
                                      this,
                                      &BuildStepsPanel::refresh);
    }
    if (target) {
        m_watchConnections << connect(target,
                                      &Target::activeBuildConfigurationChanged,
                                      this,
                                      &BuildStepsPanel::refresh)
                           << connect(target,
                                      &Target::addedBuildConfiguration,
                                      this,
                                      &BuildStepsPanel::refresh)
                           << connect(target,
                                      &Target::removedBuildConfiguration,
                                      this,
                                      &BuildStepsPanel::refresh);
    }

    m_projectLabel->setText(
        project ? QString("%1 (%2)").arg(project->displayName(),
                                         target ? target->displayName() : tr("no target"))
                : tr("No project is open."));
    m_configurationComboBox->clear();
    if (target) {
        for (BuildConfiguration *configuration : target->buildConfigurations())
            m_configurationComboBox->addItem(configuration->displayName());
        m_configurationComboBox->setCurrentIndex(target->buildConfigurations().indexOf(active));
    }
    setStepList(active ? active->buildSteps() : nullptr);
}

void BuildStepsPanel::setStepList(BuildStepList *list)
{
    for (const QMetaObject::Connection &connection : qAsConst(m_listConnections))
        disconnect(connection);
    m_listConnections.clear();
    m_stepList = list;
    if (list) {
        m_listConnections
            << connect(list, &BuildStepList::stepInserted, this, &BuildStepsPanel::rebuildEntries)
            << connect(list, &BuildStepList::aboutToRemoveStep, this, &BuildStepsPanel::clearEntries)
            << connect(list, &BuildStepList::stepRemoved, this, &BuildStepsPanel::rebuildEntries)
            << connect(list, &BuildStepList::stepMoved, this, &BuildStepsPanel::rebuildEntries);
    }
    m_addStepButton->setEnabled(list != nullptr);
    rebuildEntries();
}

void BuildStepsPanel::clearEntries()
{
    // Entries go later: the request that led here may come from one of their own buttons.
    for (BuildStepEntry *entry : qAsConst(m_entries)) {
        entry->hide();
        entry->deleteLater();
    }
    m_entries.clear();
}

void BuildStepsPanel::rebuildEntries()
{
    clearEntries();
    if (!m_stepList)
        return;
    const QList<BuildStep *> steps = m_stepList->steps();
    for (int position = 0; position < steps.count(); ++position) {
        auto entry = new BuildStepEntry(steps.at(position),
                                        position > 0,
                                        position < steps.count() - 1);
        const QPointer<BuildStepList> list = m_stepList;
        connect(entry, &BuildStepEntry::moveUpRequested, this, [list, position] {
            if (list)
                list->moveStepUp(position);
        });
        connect(entry, &BuildStepEntry::moveDownRequested, this, [list, position] {
            if (list)
                list->moveStepUp(position + 1);
        });
        connect(entry, &BuildStepEntry::removeRequested, this, [list, position] {
            if (list)
                list->removeStep(position);
        });
        m_entriesLayout->addWidget(entry);
        m_entries.append(entry);
    }
}

void BuildStepsPanel::populateAddStepMenu()
{
    m_addStepMenu->clear();
    if (!m_stepList)
        return;
    for (BuildStepFactory *factory : BuildStepFactory::allBuildStepFactories()) {
        const BuildStepInfo info = factory->stepInfo();
        if (info.flags & BuildStepInfo::Uncreatable)
            continue;
        if ((info.flags & BuildStepInfo::UniqueStep) && m_stepList->contains(info.id))
            continue;
        if (!factory->canHandle(m_stepList))
            continue;
        QAction *action = m_addStepMenu->addAction(info.displayName);
        const Utils::Id stepId = info.id;
        connect(action, &QAction::triggered, this, [this, stepId] {
            if (m_stepList)
                m_stepList->appendStep(stepId);
        });
    }
}

void BuildStepsPanel::activateConfiguration(int index)
{
    Project *project = SessionManager::startupProject();
    Target *target = project ? project->activeTarget() : nullptr;
    if (target && index >= 0 && index < target->buildConfigurations().count())
        target->setActiveBuildConfiguration(target->buildConfigurations().at(index));
}

} // namespace Internal
} // namespace ProjectExplorer
