#include "widgets/ViewCanvas.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QWheelEvent>
#include <QPainter>
#include <QRegion>

#include <algorithm>
#include <cmath>

namespace dapplix {

ViewCanvas::ViewCanvas(int imageWidth, int imageHeight, QWidget* parent)
    : QFrame(parent), image_(imageWidth, imageHeight, QImage::Format_RGB32) {
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    setLineWidth(kBorder);
    setFixedSize(imageWidth + 2 * kBorder, imageHeight + 2 * kBorder);
    // An area never drawn on shows the window colour, as an empty picture box does.
    image_.fill(palette().color(QPalette::Window));
    setAttribute(Qt::WA_OpaquePaintEvent, false);
}

void ViewCanvas::FillRect(int x1, int y1, int x2, int y2, QRgb colour) {
    if (x1 > x2) std::swap(x1, x2);
    if (y1 > y2) std::swap(y1, y2);
    x1 = std::max(x1, 0);
    y1 = std::max(y1, 0);
    x2 = std::min(x2, image_.width() - 1);
    y2 = std::min(y2, image_.height() - 1);
    if (x1 > x2 || y1 > y2) return;
    for (int y = y1; y <= y2; ++y) {
        auto* line = reinterpret_cast<QRgb*>(image_.scanLine(y));
        std::fill(line + x1, line + x2 + 1, colour | 0xFF000000u);
    }
    ImageChanged(QRect(QPoint(x1, y1), QPoint(x2, y2)));
}

void ViewCanvas::DrawLine(int x1, int y1, int x2, int y2, QRgb colour) {
    if (x1 == x2 || y1 == y2) {
        FillRect(x1, y1, x2, y2, colour);
        return;
    }
    QPainter painter(&image_);
    painter.setPen(QColor::fromRgb(colour));
    painter.drawLine(x1, y1, x2, y2);
    ImageChanged(QRect(QPoint(std::min(x1, x2), std::min(y1, y2)), QPoint(std::max(x1, x2), std::max(y1, y2))));
}

void ViewCanvas::DrawOutline(int x1, int y1, int x2, int y2, QRgb colour) {
    if (x1 > x2) std::swap(x1, x2);
    if (y1 > y2) std::swap(y1, y2);
    const QRect outline = QRect(QPoint(x1, y1), QPoint(x2, y2)).intersected(image_.rect());
    if (outline.isEmpty()) return;
    const QRgb pixel = colour | 0xFF000000u;
    auto* top = reinterpret_cast<QRgb*>(image_.scanLine(y1 >= 0 ? y1 : outline.top()));
    auto* bottom = reinterpret_cast<QRgb*>(image_.scanLine(y2 < image_.height() ? y2 : outline.bottom()));
    if (y1 >= 0) std::fill(top + outline.left(), top + outline.right() + 1, pixel);
    if (y2 < image_.height()) std::fill(bottom + outline.left(), bottom + outline.right() + 1, pixel);
    for (int y = outline.top(); y <= outline.bottom(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image_.scanLine(y));
        if (x1 >= 0) line[x1] = pixel;
        if (x2 < image_.width()) line[x2] = pixel;
    }
    if (wholeImagePending_) return;
    // One request for the four sides.
    QRegion sides;
    for (const QRect& side : {QRect(outline.left(), outline.top(), outline.width(), 1),
                              QRect(outline.left(), outline.bottom(), outline.width(), 1),
                              QRect(outline.left(), outline.top(), 1, outline.height()),
                              QRect(outline.right(), outline.top(), 1, outline.height())})
        sides += ToWidget(side);
    update(sides);
}

ViewCanvas* AddCanvas(QWidget* parent, const char* name, int x, int y, int imageWidth, int imageHeight) {
    auto* canvas = new ViewCanvas(imageWidth, imageHeight, parent);
    canvas->setObjectName(name);
    canvas->move(x, y);
    return canvas;
}

void ViewCanvas::ImageChanged(const QRect& imageRect) {
    if (wholeImagePending_) return;
    wholeImagePending_ = imageRect.contains(image_.rect());
    update(ToWidget(imageRect));
}

QRect ViewCanvas::ToWidget(const QRect& imageRect) const {
    return QRect(imageRect.topLeft() * zoom_, imageRect.size() * zoom_).translated(ImageOrigin());
}

void ViewCanvas::SetZoom(int zoom) {
    zoom_ = std::clamp(zoom, 1, 4);
    setFixedSize(image_.width() * zoom_ + 2 * kBorder, image_.height() * zoom_ + 2 * kBorder);
    update();
}

void ViewCanvas::paintEvent(QPaintEvent* event) {
    wholeImagePending_ = false;
    QFrame::paintEvent(event);
    QPainter painter(this);
    painter.setClipRegion(event->region() & contentsRect());
    // Whole screen pixels per image pixel and no smoothing: tiles stay sharp at every zoom.
    // On a high-density screen the painter scales once more by the device pixel ratio.
    if (zoom_ == 1) painter.drawImage(ImageOrigin(), image_);
    else painter.drawImage(QRect(ImageOrigin(), image_.size() * zoom_), image_);
}

QPoint ViewCanvas::ToImage(const QMouseEvent* event) const {
    const QPointF p = (event->position() - QPointF(ImageOrigin())) / zoom_;
    return QPoint(static_cast<int>(std::floor(p.x())), static_cast<int>(std::floor(p.y())));
}

void ViewCanvas::mousePressEvent(QMouseEvent* event) {
    // An area that takes the keyboard on a click takes it before it reports the press.
    if (focusPolicy() & Qt::ClickFocus) setFocus(Qt::MouseFocusReason);
    emit mousePressed(ToImage(event), event->button());
    event->accept();
}

void ViewCanvas::mouseMoveEvent(QMouseEvent* event) {
    emit mouseMoved(ToImage(event), event->buttons());
    event->accept();
}

void ViewCanvas::mouseReleaseEvent(QMouseEvent* event) {
    emit mouseReleased(ToImage(event), event->button());
    event->accept();
}

void ViewCanvas::mouseDoubleClickEvent(QMouseEvent* event) {
    emit doubleClicked(ToImage(event), event->button());
    event->accept();
}

}  // namespace dapplix

namespace dapplix {

void ViewCanvas::keyPressEvent(QKeyEvent* event) {
    emit keyPressed(event->key(), event->modifiers());
    event->accept();
}

void ViewCanvas::wheelEvent(QWheelEvent* event) {
    if (!(event->modifiers() & Qt::ControlModifier)) {
        event->ignore();
        return;
    }
    wheelRest_ += event->angleDelta().y();
    const int steps = wheelRest_ / QWheelEvent::DefaultDeltasPerStep;
    wheelRest_ -= steps * QWheelEvent::DefaultDeltasPerStep;
    if (steps != 0) emit zoomWheel(steps);
    event->accept();
}

}  // namespace dapplix
