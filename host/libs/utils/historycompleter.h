#pragma once

#include "utils_global.h"

#include <QCompleter>

QT_BEGIN_NAMESPACE
class QSettings;
QT_END_NAMESPACE

namespace Utils {

namespace Internal {
class HistoryCompleterPrivate;
}

// Completes a line edit from the texts it held before. The history of a key is kept in the
// settings given to setSettings() (the IDE's settings), else in a default-constructed QSettings,
// under "CompleterHistory/<key>"; the newest entry comes first.
class QTCREATOR_UTILS_EXPORT HistoryCompleter : public QCompleter
{
    Q_OBJECT

public:
    static void setSettings(QSettings *settings);
    HistoryCompleter(const QString &historyKey, QObject *parent = nullptr);
    ~HistoryCompleter() override;

    bool removeHistoryItem(int index);
    QString historyItem() const;
    bool hasHistory() const;
    QStringList historyItems() const;
    static bool historyExistsFor(const QString &historyKey);

    int historySize() const;
    int maximalHistorySize() const;
    void setMaximalHistorySize(int numberOfEntries);

public:
    void clearHistory();
    void addEntry(const QString &str);

private:
    Internal::HistoryCompleterPrivate *d;
};

} // namespace Utils
