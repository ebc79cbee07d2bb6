#include "historycompleter.h"

#include "qtcassert.h"

#include <QPointer>
#include <QSettings>
#include <QStringListModel>

namespace Utils {

namespace {

QPointer<QSettings> theSettings;
const int defaultMaxLines = 6;

QString settingsKey(const QString &historyKey)
{
    return QLatin1String("CompleterHistory/") + historyKey;
}

QString lastItemEmptyKey(const QString &historyKey)
{
    return settingsKey(historyKey) + QLatin1String(".IsLastItemEmpty");
}

// The store of the histories: the IDE's settings when known, else the application's
// default settings, which are the same store in this IDE.
template<typename Function>
auto withSettings(Function function)
{
    if (theSettings)
        return function(*theSettings);
    QSettings defaultSettings;
    return function(defaultSettings);
}

} // namespace

namespace Internal {

class HistoryCompleterPrivate : public QStringListModel
{
public:
    using QStringListModel::QStringListModel;

    void load()
    {
        withSettings([this](QSettings &settings) {
            setStringList(settings.value(settingsKey(historyKey)).toStringList());
            isLastItemEmpty = settings.value(lastItemEmptyKey(historyKey), false).toBool();
            return true;
        });
    }

    void save()
    {
        withSettings([this](QSettings &settings) {
            settings.setValue(settingsKey(historyKey), stringList());
            settings.setValue(lastItemEmptyKey(historyKey), isLastItemEmpty);
            settings.sync();
            return true;
        });
    }

    QString historyKey;
    int maxLines = defaultMaxLines;
    bool isLastItemEmpty = false;
};

} // namespace Internal

void HistoryCompleter::setSettings(QSettings *settings)
{
    theSettings = settings;
}

HistoryCompleter::HistoryCompleter(const QString &historyKey, QObject *parent)
    : QCompleter(parent)
    , d(new Internal::HistoryCompleterPrivate(this))
{
    QTC_ASSERT(!historyKey.isEmpty(), return );
    d->historyKey = historyKey;
    d->load();
    setModel(d);
    setCompletionMode(QCompleter::UnfilteredPopupCompletion);
}

HistoryCompleter::~HistoryCompleter() = default;

bool HistoryCompleter::removeHistoryItem(int index)
{
    if (index < 0 || index >= d->rowCount())
        return false;
    d->removeRow(index);
    d->save();
    return true;
}

QString HistoryCompleter::historyItem() const
{
    if (d->isLastItemEmpty || d->rowCount() == 0)
        return QString();
    return d->stringList().constFirst();
}

bool HistoryCompleter::hasHistory() const
{
    return d->rowCount() > 0 || d->isLastItemEmpty;
}

QStringList HistoryCompleter::historyItems() const
{
    return d->stringList();
}

bool HistoryCompleter::historyExistsFor(const QString &historyKey)
{
    return withSettings(
        [&historyKey](QSettings &settings) { return settings.contains(settingsKey(historyKey)); });
}

int HistoryCompleter::historySize() const
{
    return d->rowCount();
}

int HistoryCompleter::maximalHistorySize() const
{
    return d->maxLines;
}

void HistoryCompleter::setMaximalHistorySize(int numberOfEntries)
{
    d->maxLines = numberOfEntries;
}

void HistoryCompleter::clearHistory()
{
    d->setStringList({});
    d->isLastItemEmpty = false;
    d->save();
}

void HistoryCompleter::addEntry(const QString &str)
{
    const QString entry = str.trimmed();
    if (entry.isEmpty()) {
        d->isLastItemEmpty = true;
        d->save();
        return;
    }
    QStringList items = d->stringList();
    items.removeAll(entry);
    items.prepend(entry);
    while (items.size() > d->maxLines)
        items.removeLast();
    d->setStringList(items);
    d->isLastItemEmpty = false;
    d->save();
}

} // namespace Utils
