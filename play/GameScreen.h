// One Game Boy screen in the Play window: the last frame scaled up by a whole number, so
// that every Game Boy pixel is a square of screen pixels, and a frame around the tile the
// user last pointed at. Clicks are reported in Game Boy pixels.
#pragma once

#include <QImage>
#include <QRect>
#include <QWidget>

#include <cstdint>

namespace dapplix {

class GameScreen : public QWidget {
    Q_OBJECT
public:
    explicit GameScreen(QWidget* parent = nullptr);

    void SetScale(int scale);
    int Scale() const { return scale_; }
    // Takes a frame from the core: 32 bits a pixel, red in bits 0-7, stride in pixels.
    void ShowFrame(const std::uint32_t* pixels, int stride);
    const QImage& Frame() const { return frame_; }  // 160 x 144
    QImage ScaledFrame() const;
    // A frame around a rectangle of Game Boy pixels; an empty rectangle removes it.
    void SetMark(const QRect& rect);
    QRect Mark() const { return mark_; }

    QSize sizeHint() const override;

signals:
    void clicked(int x, int y);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    QImage frame_;
    QRect mark_;
    int scale_ = 2;
};

}  // namespace dapplix
