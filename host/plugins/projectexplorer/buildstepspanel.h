#pragma once

#include <QDialog>
#include <QList>
#include <QPointer>

QT_BEGIN_NAMESPACE
class QComboBox;
class QLabel;
class QMenu;
class QPushButton;
class QVBoxLayout;
QT_END_NAMESPACE

namespace ProjectExplorer {

class BuildStepList;

namespace Internal {

class BuildStepEntry;

// The "Projects" dialog: the build steps of the startup project's active build configuration,
// each with its configuration widget, and the means to add, remove and move steps.
class BuildStepsPanel : public QDialog
{
    Q_OBJECT

public:
    explicit BuildStepsPanel(QWidget *parent = nullptr);

    BuildStepList *stepList() const;
    QList<BuildStepEntry *> entries() const;
    QMenu *addStepMenu() const;
    QComboBox *configurationComboBox() const;

private:
    void refresh();
    void watch(QObject *sender);
    void setStepList(BuildStepList *list);
    void clearEntries();
    void rebuildEntries();
    void populateAddStepMenu();
    void activateConfiguration(int index);

    QLabel *m_projectLabel = nullptr;
    QComboBox *m_configurationComboBox = nullptr;
    QVBoxLayout *m_entriesLayout = nullptr;
    QPushButton *m_addStepButton = nullptr;
    QMenu *m_addStepMenu = nullptr;
    QList<BuildStepEntry *> m_entries;
    QPointer<BuildStepList> m_stepList;
    QList<QMetaObject::Connection> m_watchConnections;
    QList<QMetaObject::Connection> m_listConnections;
};

} // namespace Internal
} // namespace ProjectExplorer
