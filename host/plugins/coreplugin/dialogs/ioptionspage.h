#pragma once

#include <coreplugin/core_global.h>

#include <utils/id.h>

#include <QObject>
#include <QPointer>
#include <QWidget>

#include <functional>

namespace Core {

class CORE_EXPORT IOptionsPageWidget : public QWidget
{
    Q_OBJECT

public:
    virtual void apply() = 0;
    virtual void finish() {}
};

// A page of the Options dialog (Tools > Options..., ICore::showOptionsDialog()). A page made
// with registerGlobally (the default) is listed while it exists. Either set a widget creator
// or override widget(), apply() and finish().
class CORE_EXPORT IOptionsPage : public QObject
{
    Q_OBJECT

public:
    IOptionsPage(QObject *parent = nullptr, bool registerGlobally = true);
    ~IOptionsPage() override;

    static const QList<IOptionsPage *> allOptionsPages();

    Utils::Id id() const { return m_id; }
    QString displayName() const { return m_displayName; }
    Utils::Id category() const { return m_category; }
    QString displayCategory() const { return m_displayCategory; }

    using WidgetCreator = std::function<IOptionsPageWidget *()>;
    void setWidgetCreator(const WidgetCreator &widgetCreator);

    // The page's widget, made on first use; the Options dialog takes it while it is open.
    virtual QWidget *widget();
    virtual void apply();
    // Called when the Options dialog closes: the widget is deleted.
    virtual void finish();

protected:
    void setId(Utils::Id id) { m_id = id; }
    void setDisplayName(const QString &displayName) { m_displayName = displayName; }
    void setCategory(Utils::Id category) { m_category = category; }
    void setDisplayCategory(const QString &displayCategory) { m_displayCategory = displayCategory; }

private:
    Utils::Id m_id;
    Utils::Id m_category;
    QString m_displayName;
    QString m_displayCategory;
    WidgetCreator m_widgetCreator;
    QPointer<QWidget> m_widget;
};

} // namespace Core
