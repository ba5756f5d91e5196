#include "app/AppIcons.h"

#include <QPainter>
#include <QPixmap>

namespace {

// A 32-pixel disc in `fill` with a black rim; `mark` draws on it.
QIcon disc(const QColor& fill, void (*mark)(QPainter&) = nullptr) {
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(fill);
    painter.setPen(QPen(Qt::black, 2));
    painter.drawEllipse(QRectF(3, 3, 26, 26));
    if (mark)
        mark(painter);
    painter.end();
    return QIcon(pixmap);
}

const QColor kRecordingRed(200, 20, 20);

} // namespace

QIcon AppIcons::windowIcon() {
    return disc(kRecordingRed);
}

QIcon AppIcons::stoppedIcon() {
    return disc(QColor(240, 170, 0), [](QPainter& painter) {
        painter.setPen(QPen(Qt::black, 4));
        painter.drawLine(QPointF(16, 8), QPointF(16, 19));
        painter.drawPoint(QPointF(16, 24));
    });
}

QIcon AppIcons::silenceIcon() {
    return disc(kRecordingRed, [](QPainter& painter) {
        painter.setPen(QPen(Qt::white, 4));
        painter.drawLine(QPointF(8, 16), QPointF(24, 16));
    });
}
