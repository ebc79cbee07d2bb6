#include "ioptionspage.h"

#include <utils/qtcassert.h>

namespace Core {

namespace {
QList<IOptionsPage *> &optionsPages()
{
    static QList<IOptionsPage *> pages;
    return pages;
}
} // namespace

IOptionsPage::IOptionsPage(QObject *parent, bool registerGlobally)
    : QObject(parent)
{
    if (registerGlobally)
        optionsPages().append(this);
}

IOptionsPage::~IOptionsPage()
{
    optionsPages().removeAll(this);
    delete m_widget;
}

const QList<IOptionsPage *> IOptionsPage::allOptionsPages()
{
    return optionsPages();
}

void IOptionsPage::setWidgetCreator(const WidgetCreator &widgetCreator)
{
    m_widgetCreator = widgetCreator;
}

QWidget *IOptionsPage::widget()
{
    if (!m_widget) {
        QTC_ASSERT(m_widgetCreator, return nullptr);
        m_widget = m_widgetCreator();
    }
    return m_widget;
}

void IOptionsPage::apply()
{
    if (auto widget = qobject_cast<IOptionsPageWidget *>(m_widget))
        widget->apply();
}

void IOptionsPage::finish()
{
    if (auto widget = qobject_cast<IOptionsPageWidget *>(m_widget))
        widget->finish();
    delete m_widget;
}

} // namespace Core
