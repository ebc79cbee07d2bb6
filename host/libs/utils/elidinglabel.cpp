#include "elidinglabel.h"

#include <QPainter>
#include <QStyle>

namespace Utils {

ElidingLabel::ElidingLabel(QWidget *parent)
    : ElidingLabel(QString(), parent)
{}

ElidingLabel::ElidingLabel(const QString &text, QWidget *parent)
    : QLabel(text, parent)
{}

Qt::TextElideMode ElidingLabel::elideMode() const
{
    return m_elideMode;
}

void ElidingLabel::setElideMode(const Qt::TextElideMode &elideMode)
{
    m_elideMode = elideMode;
    update();
}

QSize ElidingLabel::minimumSizeHint() const
{
    return {0, QLabel::minimumSizeHint().height()};
}

void ElidingLabel::paintEvent(QPaintEvent *)
{
    const int m = margin();
    const QRect contents = contentsRect().adjusted(m, m, -m, -m);
    QString shown = text();
    if (fontMetrics().horizontalAdvance(shown) > contents.width()) {
        setToolTip(shown);
        shown = fontMetrics().elidedText(shown, m_elideMode, contents.width());
    } else {
        setToolTip(QString());
    }
    QPainter painter(this);
    drawFrame(&painter);
    painter.drawText(contents,
                     QStyle::visualAlignment(layoutDirection(), alignment()) | Qt::TextSingleLine,
                     shown);
}

} // namespace Utils
