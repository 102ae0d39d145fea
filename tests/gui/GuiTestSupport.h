// Shared pieces of the widget tests: message boxes answered from a script, side files and
// ROMs made on the spot, acting inside a modal dialog once it is up, a main window on its
// own model, and drawing areas read back from the screen and driven with the mouse.
#pragma once

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QSlider>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <deque>
#include <functional>
#include <memory>
#include <random>

#include "dialogs/frmFile.h"
#include "engine/Binary.h"
#include "engine/Bits.h"
#include "engine/CodeFiles.h"
#include "project/Palette.h"
#include "view/Messages.h"
#include "view/ViewCanvas.h"
#include "view/frmMain.h"

namespace dapplix::guitest {

constexpr QRgb kYellow = 0xFFFF00u;  // the selection frame

// Records every box as "Title: text" and answers it from a queue; a question nobody
// scripted an answer for is answered No or Cancel (the safe choice) and counted, so a
// test can insist on none.
class ScriptedMessages final : public MessageBoxes {
public:
    ScriptedMessages() : previous_(SetMessages(this)) {}
    ~ScriptedMessages() override { SetMessages(previous_); }

    QStringList log;
    std::vector<MessageButtons> buttons;
    std::deque<MessageAnswer> answers;
    int unscripted = 0;
    std::function<void()> onShow;

    MessageAnswer Show(QWidget*, MessageKind, const QString& title, const QString& text,
                       MessageButtons shown) override {
        log << title + ": " + text;
        buttons.push_back(shown);
        if (onShow) onShow();
        if (!answers.empty()) {
            const MessageAnswer answer = answers.front();
            answers.pop_front();
            return answer;
        }
        if (shown == MessageButtons::Ok) return MessageAnswer::Ok;
        ++unscripted;
        return shown == MessageButtons::YesNo ? MessageAnswer::No : MessageAnswer::Cancel;
    }

private:
    MessageBoxes* previous_;
};

inline void WriteBytes(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    QVERIFY2(file.open(QIODevice::WriteOnly | QIODevice::Truncate), qPrintable(path));
    file.write(bytes);
}

inline QByteArray ReadBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Side files of the sizes the program reads.
inline void WriteSideFiles(const QString& dir) {
    WriteBytes(dir + "/" + kBank0CodeFile, QByteArray(106, char(0xA1)));
    WriteBytes(dir + "/" + kExtraBankCodeFile, QByteArray(512, char(0xB2)));
}

struct RomShape {
    int banks = 4;  // 16 KiB each
    std::uint8_t cartridgeType = 0x01;
    std::uint8_t sizeCode = 0x01;
    std::uint8_t colorFlag = 0x00;
    std::uint8_t entryOpcode = 0xC3;
    QByteArray title = "TESTROM";
    unsigned seed = 1;
};

// A cartridge image that passes (or, as described, fails) the header checks. Banks 1 and
// up hold seeded random bytes so that every tile is different; bank 0 ends in free space
// so that the scan finds room for its fragments.
inline QByteArray MakeRom(const RomShape& shape = {}) {
    QByteArray rom(qsizetype(shape.banks) * kBankSize, 0);
    std::mt19937 random(shape.seed);
    for (qsizetype i = kBankSize; i < rom.size(); ++i) rom[i] = char(random());
    for (qsizetype i = 0x150; i < 0x3000 && i < rom.size(); ++i) rom[i] = char(0x10 + random() % 0x80);
    if (rom.size() >= 0x150) {
        rom[0x101] = char(shape.entryOpcode);
        rom[0x102] = 0x50;
        rom[0x103] = 0x01;
        for (int i = 0; i < 15; ++i) rom[0x134 + i] = i < shape.title.size() ? shape.title[i] : '\0';
        rom[0x143] = char(shape.colorFlag);
        rom[0x147] = char(shape.cartridgeType);
        rom[0x148] = char(shape.sizeCode);
    }
    return rom;
}

// Runs action once on the first dialog of type T shown within timeoutMs, from inside the
// dialog's own event loop (the dialog opens inside a handler that a test cannot return
// from). The show is caught as it happens, so a dialog that closes by itself a moment later
// (the scan window) is not missed.
template <typename T>
class WhenShown : public QObject {
public:
    explicit WhenShown(std::function<void(T*)> action, int timeoutMs = 10000) : action_(std::move(action)) {
        QApplication::instance()->installEventFilter(this);
        QTimer::singleShot(timeoutMs, this, [this] { QApplication::instance()->removeEventFilter(this); });
    }
    bool eventFilter(QObject* watched, QEvent* event) override {
        auto* dialog = qobject_cast<T*>(watched);
        if (!ran_ && dialog && event->type() == QEvent::Show) {
            ran_ = true;
            QApplication::instance()->removeEventFilter(this);
            // Queued before the dialog's own show handler queues anything, so it runs first.
            QTimer::singleShot(0, this, [this, dialog] { action_(dialog); });
        }
        return false;
    }
    bool ran() const { return ran_; }

private:
    std::function<void(T*)> action_;
    bool ran_ = false;
};

inline void ClickButton(QWidget* dialog, const char* name) {
    auto* button = dialog->findChild<QPushButton*>(name);
    QVERIFY2(button, name);
    QTest::mouseClick(button, Qt::LeftButton);
}

// Answers the file chooser as a user does: opens the directory, types the name, Okay.
// An empty name leaves with Cancel instead. Notes the title, pattern and mode (of model)
// that the chooser was shown with, as "Load ROM *.gb read".
class ChooseInChooser : public WhenShown<frmFile> {
public:
    ChooseInChooser(const QString& dir, const QString& name, const Model& model)
        : WhenShown<frmFile>([this, dir, name, &model](frmFile* chooser) {
              seen = chooser->windowTitle() + " " + chooser->Pattern() + (model.FileSaveMode ? " save" : " read");
              if (name.isEmpty()) return ClickButton(chooser, "cmdCancel");
              chooser->OpenDirectory(dir);
              auto* box = chooser->findChild<QLineEdit*>("txtFileName");
              box->clear();
              QTest::keyClicks(box, name);
              ClickButton(chooser, "cmdOkay");
          }) {}
    QString seen;
};

// Runs check at every turn of the event loop while the timer lives, so that a test sees
// the window between the tiles of a long operation.
inline std::unique_ptr<QTimer> EveryTurn(std::function<void()> check) {
    auto timer = std::make_unique<QTimer>();
    QObject::connect(timer.get(), &QTimer::timeout, std::move(check));
    timer->start(0);
    return timer;
}

inline QImage Grab(QWidget* area) { return area->grab().toImage(); }

// Image pixel (x, y) of a drawing area as the screen shows it, inside the sunken border.
inline QRgb Shown(const QImage& grabbed, int x, int y) {
    return grabbed.pixel(x + ViewCanvas::kBorder, y + ViewCanvas::kBorder) & 0xFFFFFFu;
}
inline QRgb Shown(QWidget* area, int x, int y) { return Shown(Grab(area), x, y); }

// A mouse event at image pixel at, with exactly the given buttons held.
inline void Mouse(QWidget* area, QEvent::Type type, QPoint at, Qt::MouseButton button, Qt::MouseButtons held) {
    const QPointF local(at.x() + ViewCanvas::kBorder + 0.5, at.y() + ViewCanvas::kBorder + 0.5);
    QMouseEvent event(type, local, area->mapToGlobal(local), button, held, Qt::NoModifier);
    QApplication::sendEvent(area, &event);
}
inline void Click(QWidget* area, QPoint at, Qt::MouseButton button = Qt::LeftButton) {
    Mouse(area, QEvent::MouseButtonPress, at, button, button);
    Mouse(area, QEvent::MouseButtonRelease, at, button, Qt::NoButton);
}

// Press at the first point, move through the others, release at the last.
inline void Drag(QWidget* area, const std::vector<QPoint>& path, Qt::MouseButton button = Qt::LeftButton) {
    Mouse(area, QEvent::MouseButtonPress, path.front(), button, button);
    for (QPoint at : path) Mouse(area, QEvent::MouseMove, at, Qt::NoButton, button);
    Mouse(area, QEvent::MouseButtonRelease, path.back(), button, Qt::NoButton);
}

// Press on one cell of the tile view, move through to another, release there.
inline void DragCells(QWidget* picTiles, QPoint fromCell, QPoint toCell) {
    const QPoint from = fromCell * 16 + QPoint(7, 7), to = toCell * 16 + QPoint(7, 7);
    Drag(picTiles, {from, (from + to) / 2, to});
}

// What the window system delivers for a double click: press, release, double click, release.
inline void DoubleClickCell(QWidget* picTiles, QPoint cell) {
    const QPoint at = cell * 16 + QPoint(6, 6);
    Click(picTiles, at);
    Mouse(picTiles, QEvent::MouseButtonDblClick, at, Qt::LeftButton, Qt::LeftButton);
    Mouse(picTiles, QEvent::MouseButtonRelease, at, Qt::LeftButton, Qt::NoButton);
}

// Screen colour of colour c of palette p in the shown set.
inline QRgb ScreenOf(const Model& model, int colour, int palette) {
    return PalToRgb(model, colour, palette) & 0xFFFFFFu;
}

// Every colour of every palette in both sets distinct, so a pixel tells which painted it.
inline void SetDistinctPalettes(Model& model) {
    for (int set = 0; set < kPaletteSets; ++set)
        for (int pal = 0; pal < kPalettes; ++pal)
            for (int col = 0; col < kColours; ++col)
                model.Pals[set][pal][col] = {std::int16_t(pal * 4 + col), std::int16_t(set ? 31 - col * 7 : col * 7),
                                             std::int16_t(set * 16 + 5)};
}

// Cell (column, row) of a grabbed tile view shows image in palette: every tile pixel is a
// 2 x 2 square, read at a screen pixel that neither grid lines (the cell's last screen
// column and row) nor the selection frame (its first and last) cover.
inline void CheckCell(const QImage& view, const Model& model, int column, int row, const TileImage& image,
                      int palette) {
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) {
            const int sx = 16 * column + 2 * x + (x == 0), sy = 16 * row + 2 * y + (y == 0);
            const QRgb want = ScreenOf(model, TilePixel(image, x, y), palette);
            if (Shown(view, sx, sy) != want)
                QFAIL(qPrintable(QString("cell (%1, %2), tile pixel (%3, %4) shows %5, expected %6")
                                     .arg(column)
                                     .arg(row)
                                     .arg(x)
                                     .arg(y)
                                     .arg(Shown(view, sx, sy), 6, 16, QChar('0'))
                                     .arg(want, 6, 16, QChar('0'))));
        }
}

// A main window on its own model with side files read from a temporary directory, and
// scripted message boxes; the test's files go into the same directory.
struct Fixture {
    QTemporaryDir dir;
    ScriptedMessages messages;
    std::unique_ptr<Model> model = std::make_unique<Model>();
    std::unique_ptr<frmMain> window;

    // distinctColours: SetDistinctPalettes in place of the start-up palettes.
    explicit Fixture(bool distinctColours = false) {
        WriteSideFiles(dir.path());
        std::string fatal;
        QVERIFY(LoadCodeFiles(*model, {QFile::encodeName(dir.path()).toStdString()}, fatal));
        window = std::make_unique<frmMain>(*model);
        if (distinctColours) SetDistinctPalettes(*model);
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    }
    QString Path(const QString& name) const { return dir.path() + "/" + name; }

    template <typename T = QWidget>
    T* Find(const char* name) const {
        return window->findChild<T*>(name);
    }
    ViewCanvas* View() const { return Find<ViewCanvas>("picTiles"); }

    // How many controls of the lock set are enabled (15 when none is locked).
    int LockSetEnabled() const {
        int enabled = 0;
        for (const char* name :
             {"picTiles", "fraPals", "fraPalSet", "sldBank", "sldPage", "sldTileOffset", "cmdPixelSwitch"})
            enabled += Find(name)->isEnabled();
        for (const char* name : {"mnuFileLoadrom", "mnuFileWriterom", "mnuFileLoadgbp", "mnuFileSavegbp", "mnuFileExit",
                                 "mnuOptGrid", "mnuOptDim", "mnuOptReset"})
            enabled += Find<QAction>(name)->isEnabled();
        return enabled;
    }
    // The status label's text and text colour, as "Refreshing... #c00000".
    QString Status() const {
        auto* label = Find<QLabel>("lblStatus");
        return label->text() + " " + label->palette().color(QPalette::WindowText).name();
    }

    // Writes a ROM file and loads it straight (as a file named on the command line).
    bool LoadRom(const RomShape& shape = {}, const QString& name = "game.gb") {
        WriteBytes(Path(name), MakeRom(shape));
        return window->LoadRomFile(Path(name));
    }
    // A menu item whose chooser the user answers with name in directory in (by default
    // the test's directory); returns what the chooser was shown with.
    QString Menu(const char* action, const QString& name, const QString& in = QString()) {
        ChooseInChooser chooser(in.isEmpty() ? dir.path() : in, name, *model);
        Find<QAction>(action)->trigger();
        return chooser.seen;
    }
    void ShowBankPage(int bank, int page) {
        Find<QSlider>("sldBank")->setValue(bank);
        Find<QSlider>("sldPage")->setValue(page);
    }
    // Every cell of the shown page as the model says it should look.
    void CheckPage() const {
        const QImage view = Grab(View());
        const int bank = window->CurrentBank();
        for (int cell = 0; cell < kTilesPerPage && !QTest::currentTestFailed(); ++cell) {
            const int tile = window->CurrentPage() * kTilesPerPage + cell;
            CheckCell(view, *model, cell % 16, cell / 16, DisplayTile(*model, bank, tile), model->TilePal[bank][tile]);
        }
    }
};

}  // namespace dapplix::guitest

Q_DECLARE_METATYPE(dapplix::guitest::RomShape)
