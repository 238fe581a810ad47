#include "app/window/status_pictures.h"

#include <QPainter>
#include <QPainterPath>
#include <QPen>

namespace app {
namespace {

const QColor kMarkColor(0x20, 0x20, 0x20);

void DrawMark(QPainter& painter, run::RowStatus status) {
    QPen pen(kMarkColor, 2.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    painter.setPen(pen);
    switch (status) {
        case run::RowStatus::kDone: {
            QPainterPath tick;
            tick.moveTo(5.0, 8.5);
            tick.lineTo(7.2, 10.8);
            tick.lineTo(11.0, 5.2);
            painter.setBrush(Qt::NoBrush);
            painter.drawPath(tick);
            break;
        }
        case run::RowStatus::kInProgress:
            painter.drawLine(QPointF(8.0, 7.2), QPointF(8.0, 11.5));
            painter.setBrush(kMarkColor);
            painter.setPen(Qt::NoPen);
            painter.drawEllipse(QPointF(8.0, 4.6), 1.2, 1.2);
            break;
        case run::RowStatus::kFailed:
            painter.drawLine(QPointF(5.5, 5.5), QPointF(10.5, 10.5));
            painter.drawLine(QPointF(10.5, 5.5), QPointF(5.5, 10.5));
            break;
        case run::RowStatus::kNone:
            break;
    }
}

}  // namespace

QColor StatusRingColor(run::RowStatus status) {
    switch (status) {
        case run::RowStatus::kDone:
            return QColor(0x1E, 0x9E, 0x3A);
        case run::RowStatus::kInProgress:
            return QColor(0x1E, 0x64, 0xC8);
        case run::RowStatus::kFailed:
            return QColor(0xD0, 0x28, 0x28);
        case run::RowStatus::kNone:
            break;
    }
    return QColor();
}

QPixmap StatusPicture(run::RowStatus status) {
    if (status == run::RowStatus::kNone) return QPixmap();
    QPixmap picture(kStatusPictureSize, kStatusPictureSize);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    // Ring: a 2-pixel stroke on the circle of radius 7, the disc inside it white.
    painter.setPen(QPen(StatusRingColor(status), 2.0));
    painter.setBrush(Qt::white);
    painter.drawEllipse(QRectF(1.0, 1.0, 14.0, 14.0));
    DrawMark(painter, status);
    return picture;
}

QPixmap ProgramIcon() {
    // A database drum with a green circular arrow: the catalogues being brought up to date.
    QPixmap icon(kProgramIconSize, kProgramIconSize);
    icon.fill(Qt::transparent);
    QPainter painter(&icon);
    painter.setRenderHint(QPainter::Antialiasing);
    const QColor body(0x3A, 0x6E, 0xB4), top(0x7F, 0xAA, 0xE0), edge(0x1F, 0x3F, 0x6E);
    painter.setPen(QPen(edge, 1.5));
    painter.setBrush(body);
    painter.drawRect(QRectF(6, 10, 28, 28));
    painter.drawEllipse(QRectF(6, 32, 28, 10));
    painter.setPen(Qt::NoPen);
    painter.drawRect(QRectF(6.75, 30, 26.5, 7));
    painter.setPen(QPen(edge, 1.5));
    painter.setBrush(top);
    painter.drawEllipse(QRectF(6, 5, 28, 10));
    painter.setPen(QPen(StatusRingColor(run::RowStatus::kDone), 4.0, Qt::SolidLine, Qt::RoundCap));
    painter.setBrush(Qt::NoBrush);
    painter.drawArc(QRectF(26, 24, 18, 18), 30 * 16, 280 * 16);
    return icon;
}

}  // namespace app
