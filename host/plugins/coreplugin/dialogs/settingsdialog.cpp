#include "settingsdialog.h"

#include "ioptionspage.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QStackedWidget>
#include <QVBoxLayout>

namespace Core {
namespace Internal {

SettingsDialog::SettingsDialog(QWidget *parent, Utils::Id initialPage)
    : QDialog(parent)
    , m_pages(IOptionsPage::allOptionsPages())
    , m_pageList(new QListWidget(this))
    , m_stack(new QStackedWidget(this))
{
    setObjectName(QLatin1String("Core.SettingsDialog"));
    setWindowTitle(tr("Options"));
    auto buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Apply
                                            | QDialogButtonBox::Cancel,
                                        this);
    auto content = new QHBoxLayout;
    content->addWidget(m_pageList, 1);
    content->addWidget(m_stack, 3);
    auto layout = new QVBoxLayout(this);
    layout->addLayout(content);
    layout->addWidget(buttons);

    for (IOptionsPage *page : qAsConst(m_pages)) {
        const QString category = page->displayCategory();
        m_pageList->addItem(category.isEmpty()
                                ? page->displayName()
                                : category + QLatin1String(" > ") + page->displayName());
        QWidget *widget = page->widget();
        m_stack->addWidget(widget ? widget : new QLabel(tr("This page has no settings."), this));
    }
    if (m_pages.isEmpty())
        m_stack->addWidget(new QLabel(tr("No options pages are installed."), this));
    connect(m_pageList, &QListWidget::currentRowChanged, m_stack, &QStackedWidget::setCurrentIndex);
    int initialRow = 0;
    for (int row = 0; row < m_pages.size(); ++row) {
        if (m_pages.at(row)->id() == initialPage)
            initialRow = row;
    }
    m_pageList->setCurrentRow(initialRow);

    connect(buttons, &QDialogButtonBox::accepted, this, [this] {
        apply();
        accept();
    });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(buttons->button(QDialogButtonBox::Apply),
            &QPushButton::clicked,
            this,
            &SettingsDialog::apply);
}

bool SettingsDialog::execDialog(QWidget *parent, Utils::Id initialPage)
{
    SettingsDialog dialog(parent, initialPage);
    const bool accepted = dialog.exec() == QDialog::Accepted;
    dialog.finish();
    return accepted;
}

void SettingsDialog::apply()
{
    for (IOptionsPage *page : qAsConst(m_pages))
        page->apply();
}

void SettingsDialog::finish()
{
    // The pages delete their widgets: take them out of the stack first.
    while (m_stack->count() > 0)
        m_stack->removeWidget(m_stack->widget(0));
    for (IOptionsPage *page : qAsConst(m_pages))
        page->finish();
}

} // namespace Internal
} // namespace Core
