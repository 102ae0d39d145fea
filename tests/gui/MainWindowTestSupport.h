// Shared pieces of the main-window tests: message boxes that answer from a script, side
// files and ROMs made on the spot, a way to act inside a modal dialog once it is up,
// and pixel and mouse helpers for the drawing areas.
#pragma once

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include <deque>
#include <functional>
#include <memory>
#include <random>
#include <vector>

#include "dialogs/frmFile.h"
#include "engine/Binary.h"
#include "engine/Bits.h"
#include "engine/CodeFiles.h"
#include "project/Palette.h"
#include "view/Messages.h"
#include "view/frmMain.h"

namespace dapplix::guitest {

// --- message boxes -------------------------------------------------------------------------

struct ShownMessage {
    QString title;
    QString text;
    MessageButtons buttons;
};

// Records every box and answers it from a queue; a box nobody scripted an answer for is
// answered Ok / No / Cancel (the safe choice) and counted, so a test can insist on none.
class ScriptedMessages final : public MessageBoxes {
public:
    ScriptedMessages() { previous_ = SetMessages(this); }
    ~ScriptedMessages() override { SetMessages(previous_); }

    std::vector<ShownMessage> shown;
    std::deque<MessageAnswer> answers;
    int unscripted = 0;
    std::function<void(const ShownMessage&)> onShow;

    MessageAnswer Show(QWidget*, MessageKind, const QString& title, const QString& text,
                       MessageButtons buttons) override {
        shown.push_back({title, text, buttons});
        if (onShow) onShow(shown.back());
        if (!answers.empty()) {
            const MessageAnswer answer = answers.front();
            answers.pop_front();
            return answer;
        }
        if (buttons != MessageButtons::Ok) ++unscripted;
        return buttons == MessageButtons::Ok ? MessageAnswer::Ok
               : buttons == MessageButtons::YesNo ? MessageAnswer::No
                                                  : MessageAnswer::Cancel;
    }

    QStringList Texts() const {
        QStringList texts;
        for (const auto& m : shown) texts << m.text;
        return texts;
    }
    QStringList Titles() const {
        QStringList titles;
        for (const auto& m : shown) titles << m.title;
        return titles;
    }
    void Clear() {
        shown.clear();
        answers.clear();
        unscripted = 0;
    }

private:
    MessageBoxes* previous_ = nullptr;
};

// --- files ---------------------------------------------------------------------------------------

inline void WriteBytes(const QString& path, const std::vector<std::uint8_t>& bytes) {
    QFile file(path);
    QVERIFY2(file.open(QIODevice::WriteOnly | QIODevice::Truncate), qPrintable(path));
    file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size()));
}

inline QByteArray ReadBytes(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    return file.readAll();
}

// Side files whose fragments are filled with recognisable bytes (0xA1.., 0xB2..).
inline void WriteSideFiles(const QString& dir) {
    std::vector<std::uint8_t> bank0(106);
    for (std::size_t i = 0; i < bank0.size(); ++i) bank0[i] = std::uint8_t(0xA0 + i % 16);
    std::vector<std::uint8_t> extra(512);
    for (std::size_t i = 0; i < extra.size(); ++i) extra[i] = std::uint8_t(0xB0 + i % 16);
    WriteBytes(dir + "/" + kBank0CodeFile, bank0);
    WriteBytes(dir + "/" + kExtraBankCodeFile, extra);
}

inline bool LoadSideFilesFrom(Model& model, const QString& dir) {
    std::string fatal;
    return LoadCodeFiles(model, {QFile::encodeName(dir).toStdString()}, fatal);
}

struct RomSpec {
    int banks = 4;                  // 16 KiB each
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
inline std::vector<std::uint8_t> MakeRom(const RomSpec& spec = {}) {
    std::vector<std::uint8_t> rom(std::size_t(spec.banks) * kBankSize, 0x00);
    std::mt19937 random(spec.seed);
    for (std::size_t i = kBankSize; i < rom.size(); ++i) rom[i] = std::uint8_t(random());
    for (std::size_t i = 0x150; i < 0x3000 && i < rom.size(); ++i) rom[i] = std::uint8_t(0x10 + random() % 0x80);
    if (rom.size() >= 0x150) {
        rom[0x100] = 0x00;
        rom[0x101] = spec.entryOpcode;
        rom[0x102] = 0x50;
        rom[0x103] = 0x01;
        for (int i = 0; i < 15; ++i) rom[0x134 + i] = i < spec.title.size() ? std::uint8_t(spec.title[i]) : 0;
        rom[0x143] = spec.colorFlag;
        rom[0x147] = spec.cartridgeType;
        rom[0x148] = spec.sizeCode;
    }
    return rom;
}

// --- modal dialogs -------------------------------------------------------------------------------

// Runs action once on the first visible modal dialog of type T (polling, since the dialog
// opens inside a handler that a test cannot return from). Gives up after timeoutMs.
template <typename T>
class WhenShown {
public:
    explicit WhenShown(std::function<void(T*)> action, int timeoutMs = 10000) : action_(std::move(action)) {
        timer_ = new QTimer();
        timer_->setInterval(5);
        elapsed_.start();
        QObject::connect(timer_, &QTimer::timeout, [this, timeoutMs] {
            auto* dialog = qobject_cast<T*>(QApplication::activeModalWidget());
            if (dialog && dialog->isVisible()) {
                timer_->stop();
                ran_ = true;
                action_(dialog);
            } else if (elapsed_.elapsed() > timeoutMs) {
                timer_->stop();
            }
        });
        timer_->start();
    }
    ~WhenShown() { delete timer_; }
    WhenShown(const WhenShown&) = delete;
    WhenShown& operator=(const WhenShown&) = delete;
    bool ran() const { return ran_; }

private:
    std::function<void(T*)> action_;
    QTimer* timer_ = nullptr;
    QElapsedTimer elapsed_;
    bool ran_ = false;
};

inline void ClickButton(QWidget* dialog, const char* name) {
    auto* button = dialog->findChild<QPushButton*>(name);
    QVERIFY2(button, name);
    QTest::mouseClick(button, Qt::LeftButton);
}

// Answers the file chooser as a user does: opens the directory, types the name, Okay.
// An empty name cancels with Cancel instead.
class ChooseInChooser {
public:
    ChooseInChooser(const QString& dir, const QString& name)
        : when_([dir, name](frmFile* chooser) {
              if (name.isEmpty()) {
                  ClickButton(chooser, "cmdCancel");
                  return;
              }
              chooser->OpenDirectory(dir);
              auto* box = chooser->findChild<QLineEdit*>("txtFileName");
              box->clear();
              QTest::keyClicks(box, name);
              ClickButton(chooser, "cmdOkay");
          }) {}
    bool ran() const { return when_.ran(); }

private:
    WhenShown<frmFile> when_;
};

// --- pixels and mouse ----------------------------------------------------------------------------

constexpr int kFrame = 2;  // the sunken border of a drawing area

// Image pixel (x, y) of a drawing area as the screen shows it.
inline QRgb Shown(const QImage& grabbed, int x, int y) { return grabbed.pixel(x + kFrame, y + kFrame) & 0xFFFFFFu; }
inline QImage Grab(QWidget* area) { return area->grab().toImage(); }

inline void Mouse(QWidget* area, QEvent::Type type, QPoint imagePos, Qt::MouseButton button, Qt::MouseButtons held) {
    const QPointF local(imagePos.x() + kFrame + 0.5, imagePos.y() + kFrame + 0.5);
    QMouseEvent event(type, local, area->mapToGlobal(local), button, held, Qt::NoModifier);
    QApplication::sendEvent(area, &event);
}

// Press on one cell of the tile view, move through to another, release there.
inline void DragCells(QWidget* picTiles, QPoint fromCell, QPoint toCell) {
    const QPoint from(fromCell.x() * 16 + 7, fromCell.y() * 16 + 7);
    const QPoint to(toCell.x() * 16 + 7, toCell.y() * 16 + 7);
    Mouse(picTiles, QEvent::MouseButtonPress, from, Qt::LeftButton, Qt::LeftButton);
    Mouse(picTiles, QEvent::MouseMove, (from + to) / 2, Qt::NoButton, Qt::LeftButton);
    Mouse(picTiles, QEvent::MouseMove, to, Qt::NoButton, Qt::LeftButton);
    Mouse(picTiles, QEvent::MouseButtonRelease, to, Qt::LeftButton, Qt::NoButton);
}

// Screen colour of colour c of palette p in the shown set.
inline QRgb ScreenOf(const Model& model, int colour, int palette) { return PalToRgb(model, colour, palette) & 0xFFFFFFu; }

// Every colour of every palette in both sets distinct, so a pixel tells which painted it.
inline void SetDistinctPalettes(Model& model) {
    for (int set = 0; set < kPaletteSets; ++set)
        for (int pal = 0; pal < kPalettes; ++pal)
            for (int col = 0; col < kColours; ++col) {
                auto& c = model.Pals[set][pal][col];
                c[0] = std::int16_t(pal * 4 + col);
                c[1] = std::int16_t(set ? 31 - col * 7 : col * 7);
                c[2] = std::int16_t(set * 16 + 5);
            }
}

// A main window on its own model with side files read from a temporary directory, and
// scripted message boxes; the test's files go into the same directory.
struct Fixture {
    QTemporaryDir dir;
    ScriptedMessages messages;
    std::unique_ptr<Model> model = std::make_unique<Model>();
    std::unique_ptr<frmMain> window;

    Fixture() {
        WriteSideFiles(dir.path());
        LoadSideFilesFrom(*model, dir.path());
        window = std::make_unique<frmMain>(*model);
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    }
    QString Path(const QString& name) const { return dir.path() + "/" + name; }

    template <typename T>
    T* Find(const char* name) const {
        return window->findChild<T*>(name);
    }

    // Writes a ROM file and loads it straight (as a file named on the command line).
    bool LoadRom(const RomSpec& spec = {}, const QString& name = "game.gb") {
        WriteBytes(Path(name), MakeRom(spec));
        return window->LoadRomFile(Path(name));
    }
};

}  // namespace dapplix::guitest
