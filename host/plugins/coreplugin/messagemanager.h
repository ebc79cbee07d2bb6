#pragma once

#include "core_global.h"

#include <QObject>
#include <QStringList>

QT_BEGIN_NAMESPACE
class QFont;
class QPlainTextEdit;
QT_END_NAMESPACE

namespace Core {

namespace Internal {
class CorePlugin;
}

// Writes to the "General Messages" pane. Every message is one paragraph of the pane, and the pane
// shows it a few milliseconds later (see OutputWindow).
//
// Host-only additions: text() (all that the pane holds, every message followed by a line end), the
// messageWritten() signal, and the echo of every message to stderr while
// ICore::echoesToTerminal().
class CORE_EXPORT MessageManager : public QObject
{
    Q_OBJECT

public:
    static MessageManager *instance();

    static void setFont(const QFont &font);
    static void setWheelZoomEnabled(bool enabled);

    static void writeSilently(const QString &message);
    static void writeFlashing(const QString &message);
    static void writeDisrupting(const QString &message);

    static void writeSilently(const QStringList &messages);
    static void writeFlashing(const QStringList &messages);
    static void writeDisrupting(const QStringList &messages);

    static QString text();
    static QPlainTextEdit *outputWidget();

signals:
    void messageWritten(const QString &message);

private:
    enum class Flag { Silent, Flash, Disrupt };

    MessageManager();
    ~MessageManager() override;

    static void writeMessages(const QStringList &messages, Flag flag);
    void doWrite(const QString &text, Flag flag);

    friend class Internal::CorePlugin;
};

} // namespace Core
