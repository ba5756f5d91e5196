#include "app/AppIcons.h"

#include <QPainter>
#include <QPixmap>

namespace {

QPixmap canvas() {
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    return pixmap;
}

} // namespace

QIcon AppIcons::windowIcon() {
    QPixmap pixmap = canvas();
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(QColor(200, 20, 20));
    painter.setPen(QPen(Qt::black, 2));
    painter.drawEllipse(QRectF(3, 3, 26, 26));
    return QIcon(pixmap);
}

QIcon AppIcons::stoppedIcon() {
    QPixmap pixmap = canvas();
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(QColor(240, 170, 0));
    painter.setPen(QPen(Qt::black, 2));
    painter.drawEllipse(QRectF(3, 3, 26, 26));
    painter.setPen(QPen(Qt::black, 4));
    painter.drawLine(QPointF(16, 8), QPointF(16, 19));
    painter.drawPoint(QPointF(16, 24));
    return QIcon(pixmap);
}

QIcon AppIcons::silenceIcon() {
    QPixmap pixmap = canvas();
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(QColor(200, 20, 20));
    painter.setPen(QPen(Qt::black, 2));
    painter.drawEllipse(QRectF(3, 3, 26, 26));
    painter.setPen(QPen(Qt::white, 4));
    painter.drawLine(QPointF(8, 16), QPointF(24, 16));
    return QIcon(pixmap);
}
