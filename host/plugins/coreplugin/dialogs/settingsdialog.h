#pragma once

#include <utils/id.h>

#include <QDialog>

QT_BEGIN_NAMESPACE
class QListWidget;
class QStackedWidget;
QT_END_NAMESPACE

namespace Core {

class IOptionsPage;

namespace Internal {

// The Options dialog: the list of options pages and the page chosen.
class SettingsDialog : public QDialog
{
    Q_OBJECT

public:
    static bool execDialog(QWidget *parent, Utils::Id initialPage);

private:
    SettingsDialog(QWidget *parent, Utils::Id initialPage);

    void apply();
    void finish();

    QList<IOptionsPage *> m_pages;
    QListWidget *m_pageList;
    QStackedWidget *m_stack;
};

} // namespace Internal
} // namespace Core
