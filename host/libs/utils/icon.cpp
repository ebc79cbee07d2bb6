#include "icon.h"

#include <QGuiApplication>
#include <QPainter>

namespace Utils {

namespace {
const int baseIconSize = 16;
}

Icon::Icon() = default;

Icon::Icon(const QString &imageFileName)
    : m_imageFileName(imageFileName)
{}

Icon::Icon(const Painter &painter)
    : m_painter(painter)
{}

QIcon Icon::icon() const
{
    if (!m_painter)
        return QIcon(m_imageFileName);
    QIcon result;
    for (int size : {baseIconSize, 2 * baseIconSize, 4 * baseIconSize})
        result.addPixmap(paintedPixmap(size));
    return result;
}

QPixmap Icon::pixmap(QIcon::Mode iconMode) const
{
    const qreal dpr = qApp ? qApp->devicePixelRatio() : 1.0;
    const int size = qRound(baseIconSize * dpr);
    QPixmap result = icon().pixmap(QSize(size, size), iconMode);
    result.setDevicePixelRatio(dpr);
    return result;
}

QString Icon::imageFileName() const
{
    return m_imageFileName;
}

QPixmap Icon::paintedPixmap(int size) const
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    m_painter(&painter, QRectF(0, 0, size, size));
    return pixmap;
}

} // namespace Utils
