// A drawing area that keeps what is drawn on it: a QImage that the widget shows inside a
// sunken two-pixel border and repaints from whenever the window system asks. The main
// window's tile view, current tile and palette strip and every picture of the dialogs
// are one. Mouse events are reported in image pixels (the border does not count), and
// keep coming while a button is held outside the area, as the implicit mouse grab of a
// press guarantees; positions left of or above the image are then negative.
#pragma once

#include <QFrame>
#include <QImage>

namespace dapplix {

class ViewCanvas : public QFrame {
    Q_OBJECT
public:
    static constexpr int kBorder = 2;  // a sunken panel two pixels wide on each side

    // imageWidth x imageHeight is the picture; the widget is 2 * kBorder larger each way.
    ViewCanvas(int imageWidth, int imageHeight, QWidget* parent = nullptr);

    const QImage& image() const { return image_; }
    QImage& image() { return image_; }

    // Filled rectangle, both corners included (clipped to the image).
    void FillRect(int x1, int y1, int x2, int y2, QRgb colour);
    // One-pixel outline of the rectangle, both corners included.
    void DrawOutline(int x1, int y1, int x2, int y2, QRgb colour);
    // One-pixel straight line, both ends included.
    void DrawLine(int x1, int y1, int x2, int y2, QRgb colour);

    // Asks for the given part of the image to be shown again (after drawing into image()).
    // While the whole image waits to be shown again, further requests add nothing and are
    // not made.
    void ImageChanged(const QRect& imageRect);

    // Where image pixel (0, 0) sits in widget coordinates.
    QPoint ImageOrigin() const { return contentsRect().topLeft(); }

    // Shows each image pixel as zoom x zoom screen pixels (1 to 4); mouse positions are
    // still reported in image pixels. The widget's size follows.
    void SetZoom(int zoom);
    int Zoom() const { return zoom_; }

signals:
    // The second press of a double click arrives as doubleClicked alone, after the first
    // click's press and release; a user of the area that counts every press as a press
    // connects both.
    void mousePressed(QPoint pos, Qt::MouseButton button);
    void mouseMoved(QPoint pos, Qt::MouseButtons buttons);  // the set of buttons held
    void mouseReleased(QPoint pos, Qt::MouseButton button);
    void doubleClicked(QPoint pos, Qt::MouseButton button);
    // Keys pressed while the area has the focus, and the wheel turned with Ctrl held
    // (steps of one notch, up positive).
    void keyPressed(int key, Qt::KeyboardModifiers modifiers);
    void zoomWheel(int steps);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    QPoint ToImage(const QMouseEvent* event) const;

    QRect ToWidget(const QRect& imageRect) const;

    QImage image_;
    int zoom_ = 1;
    int wheelRest_ = 0;  // part of a notch from a fine-grained wheel
    bool wholeImagePending_ = false;  // asked for since the last paint
};

// A drawing area of the given picture size, named and placed in its parent.
ViewCanvas* AddCanvas(QWidget* parent, const char* name, int x, int y, int imageWidth, int imageHeight);

// The cell of a picture coordinate for cells of the given size, rounding down, so that a
// position left of or above the picture gives a negative cell.
inline int CellOf(int coordinate, int cellSize) {
    return coordinate >= 0 ? coordinate / cellSize : -((-coordinate + cellSize - 1) / cellSize);
}

}  // namespace dapplix
