#include "labelelider.h"

#include <QEvent>
#include <QLabel>
#include <QTextDocument>

namespace Quillmark {
namespace Internal {

QString plainTextToolTip(const QString &text)
{
    return text.isEmpty() ? QString() : Qt::convertFromPlainText(text, Qt::WhiteSpacePre);
}

LabelElider::LabelElider(QLabel *label, int maximumLines)
    : QObject(label)
    , m_label(label)
    , m_maximumLines(maximumLines)
    , m_minimumHeight(label->minimumHeight())
{
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(false);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Minimum);
    label->installEventFilter(this);
}

void LabelElider::setText(const QString &text)
{
    m_text = text;
    m_label->setToolTip(plainTextToolTip(text));
    QSizePolicy policy = m_label->sizePolicy();
    policy.setHorizontalStretch(text.isEmpty() ? 0 : 1);
    m_label->setSizePolicy(policy);
    elide();
}

bool LabelElider::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_label && event->type() == QEvent::Resize)
        elide();
    return QObject::eventFilter(watched, event);
}

void LabelElider::elide()
{
    const QChar ellipsis(0x2026);
    const QFontMetrics metrics = m_label->fontMetrics();
    const int width = m_label->contentsRect().width();
    QStringList lines = m_text.split('\n');
    if (lines.last().isEmpty())
        lines.removeLast();
    if (lines.size() > m_maximumLines)
        lines = lines.mid(0, m_maximumLines - 1) << ellipsis;
    for (QString &line : lines)
        line = metrics.elidedText(line, Qt::ElideMiddle, width);
    m_label->setText(lines.join('\n'));
    // Every line shown is shown whole.
    m_label->setMinimumHeight(qMax(m_minimumHeight, m_label->sizeHint().height()));
}

} // namespace Internal
} // namespace Quillmark
