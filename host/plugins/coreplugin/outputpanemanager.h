#pragma once

#include "core_global.h"

#include <QStringList>

QT_BEGIN_NAMESPACE
class QWidget;
QT_END_NAMESPACE

namespace Core {

namespace Internal {
class OutputPaneArea;
}

// Host-only: the output panes at the bottom of the main window, one button per pane.
// "General Messages" is the MessageManager's. Another plug-in adds its own pane once, e.g. in
// initialize():
//
//     auto output = new QPlainTextEdit;
//     output->setReadOnly(true);
//     Core::OutputPaneManager::addPane(output, tr("Compile Output"));
//     ...
//     Core::OutputPaneManager::flashPane(output);  // draw attention without switching
//     Core::OutputPaneManager::showPane(output);   // bring it to the front
//
// The main window owns the added widget from then on.
class CORE_EXPORT OutputPaneManager
{
public:
    static void addPane(QWidget *pane, const QString &title);
    static void showPane(QWidget *pane);
    static void flashPane(QWidget *pane);

    static QWidget *currentPane();
    static bool isFlashing(QWidget *pane);
    static QStringList paneTitles();

    static void setArea(Internal::OutputPaneArea *area);
};

} // namespace Core
