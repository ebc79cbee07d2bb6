#include "outputwindow.h"

#include <QResizeEvent>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

namespace Core {

namespace {
// Often enough to look live, rarely enough that a flood of lines costs few document updates.
const int flushIntervalMs = 20;
// Beyond this much queued text the queue is written at once, so that it cannot grow unbounded.
const int maxQueuedChars = 1000000;
const int minMaxCharCount = 1000;
} // namespace

OutputWindow::OutputWindow(QWidget *parent)
    : QPlainTextEdit(parent)
{
    setReadOnly(true);
    setUndoRedoEnabled(false);
    m_flushTimer.setSingleShot(true);
    m_flushTimer.setInterval(flushIntervalMs);
    connect(&m_flushTimer, &QTimer::timeout, this, &OutputWindow::flush);
    connect(verticalScrollBar(), &QScrollBar::valueChanged, this, &OutputWindow::noteUserScrolling);
}

void OutputWindow::appendText(const QString &text, const QTextCharFormat &format)
{
    if (text.isEmpty())
        return;
    if (!m_queue.isEmpty() && m_queue.last().format == format)
        m_queue.last().text.append(text);
    else
        m_queue.append({text, format});
    m_queuedChars += text.size();
    if (m_queuedChars >= maxQueuedChars)
        flush();
    else if (!m_flushTimer.isActive())
        m_flushTimer.start();
}

void OutputWindow::flush()
{
    m_flushTimer.stop();
    if (m_queue.isEmpty())
        return;
    const bool follow = m_followsOutput;
    m_scrolling = true;
    QTextCursor cursor(document());
    cursor.movePosition(QTextCursor::End);
    cursor.beginEditBlock();
    for (const Chunk &chunk : qAsConst(m_queue))
        cursor.insertText(chunk.text, chunk.format);
    cursor.endEditBlock();
    m_queue.clear();
    m_queuedChars = 0;
    discardOldestText();
    m_scrolling = false;
    if (follow && isVisible())
        scrollToBottom();
}

void OutputWindow::setMaxCharCount(int count)
{
    m_maxCharCount = qMax(count, minMaxCharCount);
    discardOldestText();
}

int OutputWindow::maxCharCount() const
{
    return m_maxCharCount;
}

QString OutputWindow::discardedNote()
{
    return tr("[Older output was discarded.]");
}

void OutputWindow::showEvent(QShowEvent *event)
{
    QPlainTextEdit::showEvent(event);
    QMetaObject::invokeMethod(this, &OutputWindow::adjustToShownSize, Qt::QueuedConnection);
}

void OutputWindow::resizeEvent(QResizeEvent *event)
{
    QPlainTextEdit::resizeEvent(event);
    if (m_followsOutput && isVisible())
        scrollToBottom();
}

// The text edit keeps the scroll range that it computed for text added while it was hidden (one
// in which the last line can be the top one) until it is resized: once it is shown and laid out,
// it gets the range for the shown size, as on a resize.
void OutputWindow::adjustToShownSize()
{
    if (!isVisible())
        return;
    QResizeEvent event(size(), size());
    resizeEvent(&event);
}

// Removes whole lines from the top until the text fits, and puts the note in their place.
void OutputWindow::discardOldestText()
{
    QTextDocument *doc = document();
    const QString note = discardedNote();
    const int excess = doc->characterCount() - m_maxCharCount;
    if (excess <= 0)
        return;
    const int cut = excess + note.size() + 1;
    const QTextBlock next = doc->findBlock(cut).next();
    QTextCursor cursor(doc);
    cursor.beginEditBlock();
    cursor.setPosition(next.isValid() ? next.position() : cut, QTextCursor::KeepAnchor);
    cursor.removeSelectedText();
    QTextCharFormat noteFormat;
    noteFormat.setForeground(Qt::gray);
    noteFormat.setFontItalic(true);
    cursor.insertText(note, noteFormat);
    cursor.insertBlock();
    cursor.endEditBlock();
}

void OutputWindow::scrollToBottom()
{
    m_scrolling = true;
    QScrollBar *bar = verticalScrollBar();
    bar->setValue(bar->maximum());
    m_scrolling = false;
}

void OutputWindow::noteUserScrolling(int value)
{
    if (!m_scrolling && isVisible())
        m_followsOutput = value >= verticalScrollBar()->maximum();
}

} // namespace Core
