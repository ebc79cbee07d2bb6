#pragma once

#include "core_global.h"

#include <QPlainTextEdit>
#include <QTextCharFormat>
#include <QTimer>

namespace Core {

// Host-only: a read-only output pane in the manner of Qt Creator's OutputWindow. Appended text is
// queued and written on a short timer, so that a flood of lines costs one document update per
// batch instead of one per line. The pane keeps at most maxCharCount() characters: beyond that the
// oldest lines go, and a note at the top says so. The view follows new output unless the user has
// scrolled up.
class CORE_EXPORT OutputWindow : public QPlainTextEdit
{
    Q_OBJECT

public:
    static const int defaultMaxCharCount = 10000000;

    explicit OutputWindow(QWidget *parent = nullptr);

    // The text goes on as given; a line end in it starts a new line of the pane.
    void appendText(const QString &text, const QTextCharFormat &format = QTextCharFormat());
    // Writes what is queued now.
    void flush();

    void setMaxCharCount(int count);
    int maxCharCount() const;

    static QString discardedNote();

protected:
    void showEvent(QShowEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    struct Chunk
    {
        QString text;
        QTextCharFormat format;
    };

    void adjustToShownSize();
    void discardOldestText();
    void scrollToBottom();
    void noteUserScrolling(int value);

    QList<Chunk> m_queue;
    int m_queuedChars = 0;
    QTimer m_flushTimer;
    int m_maxCharCount = defaultMaxCharCount;
    bool m_followsOutput = true;
    bool m_scrolling = false;
};

} // namespace Core
