#include "outputpanemanager.h"

#include "outputpanearea.h"

#include <utils/qtcassert.h>

#include <QPointer>

namespace Core {

namespace {
QPointer<Internal::OutputPaneArea> theArea;
}

void OutputPaneManager::setArea(Internal::OutputPaneArea *area)
{
    theArea = area;
}

void OutputPaneManager::addPane(QWidget *pane, const QString &title)
{
    QTC_ASSERT(theArea, return );
    theArea->addPane(pane, title);
}

void OutputPaneManager::showPane(QWidget *pane)
{
    QTC_ASSERT(theArea, return );
    theArea->showPane(pane);
}

void OutputPaneManager::flashPane(QWidget *pane)
{
    QTC_ASSERT(theArea, return );
    theArea->flashPane(pane);
}

QWidget *OutputPaneManager::currentPane()
{
    return theArea ? theArea->currentPane() : nullptr;
}

bool OutputPaneManager::isFlashing(QWidget *pane)
{
    return theArea && theArea->isFlashing(pane);
}

QStringList OutputPaneManager::paneTitles()
{
    return theArea ? theArea->paneTitles() : QStringList();
}

} // namespace Core
