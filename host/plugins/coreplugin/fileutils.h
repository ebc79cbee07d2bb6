#pragma once

#include "core_global.h"

#include <QString>

QT_BEGIN_NAMESPACE
class QWidget;
QT_END_NAMESPACE

namespace Core {

// Host-only addition: lastShownInGraphicalShell(). On the "offscreen" and "minimal" platforms
// showInGraphicalShell() opens nothing: it logs "showInGraphicalShell: <path>" and records the path.
struct CORE_EXPORT FileUtils
{
    // Helpers for common directory browser options.
    static void showInGraphicalShell(QWidget *parent, const QString &path);
    static QString msgGraphicalShellAction();

    static QString lastShownInGraphicalShell();
};

} // namespace Core
