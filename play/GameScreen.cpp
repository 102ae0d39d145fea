#include "play/GameScreen.h"

#include <QMouseEvent>
#include <QPainter>

#include "emulator/Emulator.h"

namespace dapplix {

GameScreen::GameScreen(QWidget* parent) : QWidget(parent), frame_(kScreenWidth, kScreenHeight, QImage::Format_RGB32) {
    frame_.fill(Qt::white);
    setFixedSize(sizeHint());
    setCursor(Qt::CrossCursor);
}

void GameScreen::SetScale(int scale) {
    scale_ = std::max(1, scale);
    setFixedSize(sizeHint());
    update();
}

QSize GameScreen::sizeHint() const { return QSize(kScreenWidth * scale_, kScreenHeight * scale_); }

void GameScreen::ShowFrame(const std::uint32_t* pixels, int stride) {
    for (int y = 0; y < kScreenHeight; ++y) {
        auto* line = reinterpret_cast<QRgb*>(frame_.scanLine(y));
        const std::uint32_t* from = pixels + std::ptrdiff_t(y) * stride;
        for (int x = 0; x < kScreenWidth; ++x) {
            const std::uint32_t p = from[x];
            line[x] = qRgb(p & 0xFF, (p >> 8) & 0xFF, (p >> 16) & 0xFF);
        }
    }
    update();
}

QImage GameScreen::ScaledFrame() const { return frame_.scaled(frame_.size() * scale_, Qt::IgnoreAspectRatio, Qt::FastTransformation); }

void GameScreen::SetMark(const QRect& rect) {
    mark_ = rect;
    update();
}

void GameScreen::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.drawImage(rect(), frame_);
    if (mark_.isEmpty()) return;
    const QRect r(mark_.x() * scale_, mark_.y() * scale_, mark_.width() * scale_, mark_.height() * scale_);
    painter.setPen(QPen(QColor(255, 255, 0), 2));
    painter.drawRect(r.adjusted(-1, -1, 0, 0));
    painter.setPen(QPen(Qt::black, 1));
    painter.drawRect(r.adjusted(-3, -3, 1, 1));
}

void GameScreen::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    const QPoint at = event->position().toPoint() / scale_;
    if (at.x() < kScreenWidth && at.y() < kScreenHeight) emit clicked(at.x(), at.y());
}

}  // namespace dapplix
