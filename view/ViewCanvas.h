// A drawing area that keeps what is drawn on it: a QImage that the widget shows inside a
// sunken border and repaints from whenever the window system asks. Mouse events are
// reported in image pixels (the border does not count), and keep coming while a button
// is held outside the area, as the implicit mouse grab of a press guarantees.
#pragma once

#include <QFrame>
#include <QImage>

namespace dapplix {

class ViewCanvas : public QFrame {
    Q_OBJECT
public:
    ViewCanvas(int imageWidth, int imageHeight, QWidget* parent = nullptr);

    const QImage& image() const { return image_; }
    QImage& image() { return image_; }

    // Filled rectangle, both corners included (clipped to the image).
    void FillRect(int x1, int y1, int x2, int y2, QRgb colour);
    // One-pixel outline of the rectangle, both corners included.
    void DrawOutline(int x1, int y1, int x2, int y2, QRgb colour);
    // One-pixel horizontal or vertical line, both ends included.
    void DrawLine(int x1, int y1, int x2, int y2, QRgb colour);

    // Asks for the given part of the image to be shown again (after drawing into image()).
    void ImageChanged(const QRect& imageRect);

    // Where image pixel (0, 0) sits in widget coordinates.
    QPoint ImageOrigin() const { return contentsRect().topLeft(); }

signals:
    void mousePressed(QPoint pos, Qt::MouseButton button);
    void mouseMoved(QPoint pos, Qt::MouseButtons buttons);
    void mouseReleased(QPoint pos, Qt::MouseButton button);
    void doubleClicked(QPoint pos, Qt::MouseButton button);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    QPoint ToImage(const QMouseEvent* event) const;

    QImage image_;
};

}  // namespace dapplix
