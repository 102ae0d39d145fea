#include "editing/PictureArea.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPalette>
#include <cmath>

namespace dapplix {

PictureArea::PictureArea(int drawWidth, int drawHeight, QWidget* parent)
    : QFrame(parent), image_(drawWidth, drawHeight, QImage::Format_RGB32) {
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    setLineWidth(kFrameWidth);
    setFixedSize(drawWidth + 2 * kFrameWidth, drawHeight + 2 * kFrameWidth);
    image_.fill(palette().color(QPalette::Window));
}

void PictureArea::FillRect(int x1, int y1, int x2, int y2, QRgb colour) {
    const QRect wanted = QRect(QPoint(x1, y1), QPoint(x2, y2)).normalized();
    const QRect clipped = wanted.intersected(image_.rect());
    if (clipped.isEmpty()) return;
    for (int y = clipped.top(); y <= clipped.bottom(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image_.scanLine(y));
        for (int x = clipped.left(); x <= clipped.right(); ++x) line[x] = 0xFF000000u | colour;
    }
    update(clipped.translated(kFrameWidth, kFrameWidth));
}

void PictureArea::DrawLine(int x1, int y1, int x2, int y2, QRgb colour) {
    // Bresenham, so that a horizontal or vertical line covers exactly its pixels with
    // no antialiasing.
    const int dx = std::abs(x2 - x1), sx = x1 < x2 ? 1 : -1;
    const int dy = -std::abs(y2 - y1), sy = y1 < y2 ? 1 : -1;
    int err = dx + dy;
    int x = x1, y = y1;
    for (;;) {
        if (image_.rect().contains(x, y)) image_.setPixel(x, y, 0xFF000000u | colour);
        if (x == x2 && y == y2) break;
        const int e2 = 2 * err;
        if (e2 >= dy) { err += dy; x += sx; }
        if (e2 <= dx) { err += dx; y += sy; }
    }
    update(QRect(QPoint(x1, y1), QPoint(x2, y2)).normalized().translated(kFrameWidth, kFrameWidth));
}

QPoint PictureArea::PicturePoint(const QMouseEvent* event) const {
    // Whole picture pixels, rounding down so that a point left of or above the picture
    // stays negative.
    const QPointF p = event->position();
    return QPoint(int(std::floor(p.x())) - kFrameWidth, int(std::floor(p.y())) - kFrameWidth);
}

void PictureArea::paintEvent(QPaintEvent* event) {
    QFrame::paintEvent(event);
    QPainter painter(this);
    painter.drawImage(QPoint(kFrameWidth, kFrameWidth), image_);
}

void PictureArea::mousePressEvent(QMouseEvent* event) {
    emit mousePressed(PicturePoint(event), event->button());
    event->accept();
}

void PictureArea::mouseMoveEvent(QMouseEvent* event) {
    emit mouseMoved(PicturePoint(event), event->buttons());
    event->accept();
}

void PictureArea::mouseReleaseEvent(QMouseEvent* event) {
    emit mouseReleased(PicturePoint(event), event->button());
    event->accept();
}

}  // namespace dapplix
