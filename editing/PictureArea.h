// A drawing area as the editing dialogs use it: a fixed-size picture with a sunken
// two-pixel frame, which keeps what is drawn on it and reports mouse events in
// picture pixels (the frame is not counted).
#pragma once

#include <QFrame>
#include <QImage>

namespace dapplix {

class PictureArea : public QFrame {
    Q_OBJECT
public:
    static constexpr int kFrameWidth = 2;

    // drawWidth x drawHeight is the picture; the widget is 4 pixels larger each way.
    PictureArea(int drawWidth, int drawHeight, QWidget* parent = nullptr);

    // Filled rectangle, both corners included; whatever lies outside the picture is
    // dropped.
    void FillRect(int x1, int y1, int x2, int y2, QRgb colour);

    // One-pixel straight line, both ends included.
    void DrawLine(int x1, int y1, int x2, int y2, QRgb colour);

    const QImage& image() const { return image_; }

signals:
    // pos in picture pixels; outside the picture while a button is held, since the
    // area keeps the mouse from the press to the last release. A move reports the set
    // of buttons held down. The second press of a double click is reported as a press.
    void mousePressed(QPoint pos, Qt::MouseButton button);
    void mouseMoved(QPoint pos, Qt::MouseButtons buttons);
    void mouseReleased(QPoint pos, Qt::MouseButton button);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QPoint PicturePoint(const QMouseEvent* event) const;

    QImage image_;
};

}  // namespace dapplix
