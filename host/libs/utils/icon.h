#pragma once

#include "utils_global.h"

#include <QIcon>
#include <QPixmap>
#include <QString>

#include <functional>

QT_BEGIN_NAMESPACE
class QPainter;
class QRectF;
QT_END_NAMESPACE

namespace Utils {

// An icon made on first use (after the application exists), either from an image file or
// drawn by a painter function.
class QTCREATOR_UTILS_EXPORT Icon
{
public:
    using Painter = std::function<void(QPainter *painter, const QRectF &rect)>;

    Icon();
    Icon(const QString &imageFileName);
    explicit Icon(const Painter &painter);

    QIcon icon() const;
    // Pixmap at the application's device pixel ratio.
    QPixmap pixmap(QIcon::Mode iconMode = QIcon::Normal) const;
    QString imageFileName() const;

private:
    QPixmap paintedPixmap(int size) const;

    QString m_imageFileName;
    Painter m_painter;
};

} // namespace Utils
