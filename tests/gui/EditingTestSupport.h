// Shared pieces of the editing-dialog tests: a model with recognisable ROM bytes and
// palettes, a stand-in for the main window that records what the dialogs ask of it,
// and small helpers to read pictures back and to send mouse events with an exact set
// of held buttons.
#pragma once

#include <QApplication>
#include <QColor>
#include <QImage>
#include <QMouseEvent>
#include <QString>
#include <QTimer>
#include <QDialog>
#include <QWidget>
#include <functional>
#include <memory>
#include <random>
#include <vector>

#include "engine/Binary.h"
#include "engine/Bits.h"
#include "project/Palette.h"
#include "view/TileViewHost.h"

namespace dapplix::testing {

// Every colour of every palette in both sets gets its own screen colour, so a pixel
// read back tells which set, palette and colour painted it.
inline void SetDistinctPalettes(Model& model) {
    for (int set = 0; set < kPaletteSets; ++set)
        for (int pal = 0; pal < kPalettes; ++pal)
            for (int col = 0; col < kColours; ++col) {
                auto& c = model.Pals[set][pal][col];
                c[0] = std::int16_t(pal * 4 + col);
                c[1] = std::int16_t(set ? 31 - col * 5 : col * 5);
                c[2] = std::int16_t(set * 20 + 3);
            }
}

// Four loaded banks of seeded random bytes (every tile holds all four pixel values with
// near certainty) and distinct palettes; the dim factor 6 as at start-up.
inline std::unique_ptr<Model> MakeEditingModel(unsigned seed = 7) {
    auto model = std::make_unique<Model>();
    model->BankCount = 3;
    std::mt19937 random(seed);
    for (int bank = 0; bank <= model->BankCount; ++bank)
        for (auto& byte : model->RomBank[bank]) byte = std::uint8_t(random());
    SetDistinctPalettes(*model);
    return model;
}

inline TileImage FilledTile(int value) {
    TileImage tile{};
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) SetTilePixel(tile, x, y, value);
    return tile;
}

inline void SetRomTile(Model& model, int bank, int tile, const TileImage& image) {
    const int start = TileByteOffset(model, bank, tile);
    for (int i = 0; i < kTileBytes; ++i) model.RomBank[bank][start + i] = image[i];
}

// What the dialogs asked of the main window, in order.
struct HostCall {
    QString what;  // "DrawTile", "DisableAll", "EnableAll", "SetCurrent", "ShowCurrent", "SetStatus", "SetStatusText"
    TileImage image{};
    int column = -1, row = -1, palette = -1;
    QString text;
    QColor colour;
};

class FakeHost : public TileViewHost {
public:
    int bank = 2;
    int page = 0;
    std::vector<HostCall> calls;
    std::function<void(const HostCall&)> onCall;  // runs inside each call, after recording it

    int CurrentBank() const override { return bank; }
    int CurrentPage() const override { return page; }
    void DrawTile(const TileImage& image, int column, int row, int palette) override {
        HostCall call = Call("DrawTile");
        call.image = image;
        call.column = column;
        call.row = row;
        call.palette = palette;
        Record(call);
    }
    void DisableAll() override { Record(Call("DisableAll")); }
    void EnableAll() override { Record(Call("EnableAll")); }
    void SetCurrent() override { Record(Call("SetCurrent")); }
    void ShowCurrent() override { Record(Call("ShowCurrent")); }
    void SetStatus(const QString& text, const QColor& colour) override {
        HostCall call = Call("SetStatus");
        call.text = text;
        call.colour = colour;
        Record(call);
    }
    void SetStatusText(const QString& text) override {
        HostCall call = Call("SetStatusText");
        call.text = text;
        Record(call);
    }

    std::vector<HostCall> Draws() const {
        std::vector<HostCall> draws;
        for (const auto& call : calls)
            if (call.what == "DrawTile") draws.push_back(call);
        return draws;
    }
    // The names of the calls other than DrawTile, in order.
    QStringList Sequence() const {
        QStringList names;
        for (const auto& call : calls)
            if (call.what != "DrawTile") names << call.what;
        return names;
    }

private:
    static HostCall Call(const char* what) {
        HostCall call;
        call.what = what;
        return call;
    }
    void Record(const HostCall& call) {
        calls.push_back(call);
        if (onCall) onCall(calls.back());
    }
};

// Picture pixel (x, y) of a framed drawing area as the screen shows it: the widget is
// rendered and read back, two pixels in for the sunken frame.
constexpr int kPictureFrame = 2;
inline QRgb ShownPixel(QWidget* picture, int x, int y) {
    return picture->grab().toImage().pixel(x + kPictureFrame, y + kPictureFrame) & 0xFFFFFFu;
}
inline QPoint PicturePos(int x, int y) { return QPoint(x + kPictureFrame, y + kPictureFrame); }

// A mouse event with exactly the given buttons held, in picture pixels.
inline void SendMouse(QWidget* picture, QEvent::Type type, QPoint picturePos, Qt::MouseButton button,
                      Qt::MouseButtons held) {
    const QPointF local = PicturePos(picturePos.x(), picturePos.y());
    QMouseEvent event(type, local, picture->mapToGlobal(local), button, held, Qt::NoModifier);
    QApplication::sendEvent(picture, &event);
}

// Runs a modal dialog the way its opener does, with drive run from inside its event
// loop. Should the dialog never close, a watchdog ends it with -1 after five seconds so
// that a fault fails the test instead of hanging it.
inline int ExecDriven(QDialog* dialog, const std::function<void()>& drive) {
    QTimer::singleShot(0, dialog, drive);
    QTimer watchdog;
    watchdog.setSingleShot(true);
    QObject::connect(&watchdog, &QTimer::timeout, dialog, [dialog] { dialog->done(-1); });
    watchdog.start(5000);
    return dialog->exec();
}

}  // namespace dapplix::testing
