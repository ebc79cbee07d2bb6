#include "utilsicons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPen>

namespace Utils {
namespace Icons {

namespace {

QPen strokePen(const QColor &color, const QRectF &rect, qreal width)
{
    QPen pen(color, rect.width() * width);
    pen.setCapStyle(Qt::RoundCap);
    pen.setJoinStyle(Qt::RoundJoin);
    return pen;
}

QPointF at(const QRectF &rect, qreal x, qreal y)
{
    return {rect.left() + rect.width() * x, rect.top() + rect.height() * y};
}

void drawCheck(QPainter *p, const QRectF &r)
{
    p->setPen(strokePen(QColor(0x2e, 0x9e, 0x3e), r, 0.16));
    const QPointF points[] = {at(r, 0.18, 0.55), at(r, 0.42, 0.78), at(r, 0.84, 0.24)};
    p->drawPolyline(points, 3);
}

void drawCross(QPainter *p, const QRectF &r)
{
    p->setPen(strokePen(QColor(0xd9, 0x2b, 0x2b), r, 0.16));
    p->drawLine(at(r, 0.22, 0.22), at(r, 0.78, 0.78));
    p->drawLine(at(r, 0.78, 0.22), at(r, 0.22, 0.78));
}

void drawPage(QPainter *p, const QRectF &r)
{
    QPainterPath page;
    page.moveTo(at(r, 0.2, 0.08));
    page.lineTo(at(r, 0.6, 0.08));
    page.lineTo(at(r, 0.82, 0.3));
    page.lineTo(at(r, 0.82, 0.92));
    page.lineTo(at(r, 0.2, 0.92));
    page.closeSubpath();
    p->setPen(strokePen(QColor(0x50, 0x50, 0x50), r, 0.07));
    p->setBrush(Qt::white);
    p->drawPath(page);
    const QPointF fold[] = {at(r, 0.6, 0.08), at(r, 0.6, 0.3), at(r, 0.82, 0.3)};
    p->drawPolyline(fold, 3);
}

void drawBadge(QPainter *p, const QRectF &r, const QColor &color, const QString &mark)
{
    p->setPen(Qt::NoPen);
    p->setBrush(color);
    p->drawEllipse(
        r.adjusted(r.width() * 0.06, r.height() * 0.06, -r.width() * 0.06, -r.height() * 0.06));
    QFont font = p->font();
    font.setBold(true);
    font.setPixelSize(qMax(1, int(r.height() * 0.7)));
    p->setFont(font);
    p->setPen(Qt::white);
    p->drawText(r, Qt::AlignCenter, mark);
}

void drawWarning(QPainter *p, const QRectF &r)
{
    QPainterPath triangle;
    triangle.moveTo(at(r, 0.5, 0.08));
    triangle.lineTo(at(r, 0.94, 0.9));
    triangle.lineTo(at(r, 0.06, 0.9));
    triangle.closeSubpath();
    p->setPen(Qt::NoPen);
    p->setBrush(QColor(0xec, 0xbc, 0x1c));
    p->drawPath(triangle);
    p->setPen(strokePen(Qt::black, r, 0.1));
    p->drawLine(at(r, 0.5, 0.36), at(r, 0.5, 0.6));
    p->drawPoint(at(r, 0.5, 0.76));
}

} // namespace

const Icon OK(&drawCheck);
const Icon BROKEN(&drawCross);
const Icon NEWFILE(&drawPage);
const Icon WARNING(&drawWarning);
const Icon CRITICAL([](QPainter *p, const QRectF &r) {
    drawBadge(p, r, QColor(0xd9, 0x2b, 0x2b), QStringLiteral("!"));
});
const Icon INFO([](QPainter *p, const QRectF &r) {
    drawBadge(p, r, QColor(0x36, 0x7d, 0xc9), QStringLiteral("i"));
});

} // namespace Icons
} // namespace Utils
