// The windows' wiring: a click reaches the engine's flow, and the flow's result reaches
// the screen. What the flows themselves do is checked by the engine tests.
#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTest>
#include <QTimer>

#include <functional>

#include "TestRoms.h"
#include "dialogs/frmFile.h"
#include "editing/frmPixelSwitch.h"
#include "editing/frmTileEdit.h"
#include "engine/Bits.h"
#include "engine/Mapper.h"
#include "engine/ProjectFile.h"
#include "engine/Rom.h"
#include "project/frmEditCol.h"
#include "view/frmMain.h"
#include "widgets/Messages.h"
#include "widgets/ViewCanvas.h"

namespace dapplix {
namespace {

using namespace dapplix::testing;

// Records every box as "Title: text"; questions are answered from a list, else No/Cancel.
struct ScriptedMessages final : MessageBoxes {
    ScriptedMessages() : previous(SetMessages(this)) {}
    ~ScriptedMessages() override { SetMessages(previous); }
    MessageAnswer Show(QWidget*, MessageKind, const QString& title, const QString& text, MessageButtons b) override {
        log << title + ": " + text;
        if (!answers.isEmpty()) return answers.takeFirst();
        return b == MessageButtons::Ok ? MessageAnswer::Ok : b == MessageButtons::YesNo ? MessageAnswer::No : MessageAnswer::Cancel;
    }
    MessageBoxes* previous;
    QStringList log;
    QList<MessageAnswer> answers;
};

// Runs act on the dialog of type T once it is up, from inside its own event loop.
template <typename T>
void WhenShown(std::function<void(T*)> act) {
    auto* timer = new QTimer;
    QObject::connect(timer, &QTimer::timeout, [timer, act] {
        for (QWidget* widget : QApplication::topLevelWidgets())
            if (auto* dialog = qobject_cast<T*>(widget); dialog && dialog->isVisible()) {
                timer->deleteLater();
                timer->stop();
                act(dialog);
                return;
            }
    });
    timer->start(10);
}

// A mouse event at a picture position of a drawing area.
void Mouse(ViewCanvas* area, QEvent::Type type, QPoint pos, Qt::MouseButton button = Qt::LeftButton) {
    const QPointF at = QPointF(pos + area->ImageOrigin());
    QMouseEvent event(type, at, area->mapToGlobal(at), type == QEvent::MouseMove ? Qt::NoButton : button,
                      type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MouseButtons(button), Qt::NoModifier);
    QApplication::sendEvent(area, &event);
}

class WindowTests : public QObject {
    Q_OBJECT
    ScratchDir dir;
    std::unique_ptr<Model> model = MakeModel();
    std::unique_ptr<frmMain> window;
    ScriptedMessages messages;
    ViewCanvas* picTiles = nullptr;

    template <typename T>
    T* Child(const char* name) const { return window->findChild<T*>(name); }

    // The screen pixel of tile pixel (x, y) of a cell is what its palette makes of its value.
    void ExpectCellShows(int column, int row, int bank = 2) const {
        const int tile = PageTile(0, column, row);
        const TileImage image = DisplayTile(*model, bank, tile);
        // The second screen pixel each way: the selection frame and the grid lines lie on
        // the cell's outer pixels.
        for (int y = 0; y < 7; ++y)
            for (int x = 0; x < 7; ++x)
                QCOMPARE(picTiles->image().pixel(16 * column + 2 * x + 1, 16 * row + 2 * y + 1),
                         QRgb(ScreenColour(*model, window->View(), TilePixel(image, x, y), model->TilePal[bank][tile])));
    }

    void Select(QPoint from, QPoint to) {
        Mouse(picTiles, QEvent::MouseButtonPress, from * 16);
        Mouse(picTiles, QEvent::MouseMove, to * 16);
        Mouse(picTiles, QEvent::MouseButtonRelease, to * 16);
    }

private slots:
    void init() {
        for (int colour = 0; colour < kColours; ++colour)  // palette 3 unlike the others on screen
            model->Pals[kSpriteSet][3][colour] = {std::int16_t(colour * 8), 31, std::int16_t(31 - colour * 8)};
        window = std::make_unique<frmMain>(*model);
        window->show();
        picTiles = Child<ViewCanvas>("picTiles");
        messages.log.clear();
    }

    void openingARomShowsItsFirstPageOrWhyNot() {
        WriteFile(dir / "small.gb", MakeRom({.banks = 2}));
        QVERIFY(!window->LoadRomFile(QString::fromStdString((dir / "small.gb").string())));
        QCOMPARE(messages.log, QStringList({QString("Error: ") + kMsgRomTooSmall, "Error: Couldn't load ROM"}));
        QVERIFY(!Child<QSlider>("sldBank")->isEnabled());

        WriteFile(dir / "game.gb", MakeRom({.cartridgeType = 0x11, .freeTail = 300}));
        messages.log.clear();
        QVERIFY(window->LoadRomFile(QString::fromStdString((dir / "game.gb").string())));
        QCOMPARE(window->windowTitle(), QString("Dapplix - TESTROM"));
        QCOMPARE(messages.log, QStringList({QString("Warning: ") + kMsgMbc3PaletteZero}));
        QCOMPARE(Child<QSlider>("sldBank")->value(), 2);
        QVERIFY(Child<QSlider>("sldBank")->isEnabled());
        QCOMPARE(model->RomBank[0][kColorFlag], 0xC0);  // scanned
        ExpectCellShows(0, 0);
        ExpectCellShows(15, 15);
    }

    void paletteButtonAndPixelSwitchWorkOnTheSelection() {
        QVERIFY(window->LoadRomFile(QString::fromStdString((dir / "game.gb").string())));
        Select({2, 3}, {1, 1});
        Child<QRadioButton>("optPal3")->click();
        for (int row = 0; row < 4; ++row)
            for (int column = 0; column < 4; ++column) {
                const bool inside = column >= 1 && column <= 2 && row >= 1 && row <= 3;
                QCOMPARE(model->TilePal[2][PageTile(0, column, row)], std::int16_t(inside ? 3 : 0));
                ExpectCellShows(column, row);
            }
        QCOMPARE(Child<QLabel>("lblStatus")->text(), QString());
        QVERIFY(Child<QRadioButton>("optPal3")->isChecked());

        const TileImage before = DisplayTile(*model, 2, PageTile(0, 1, 1));
        WhenShown<frmPixelSwitch>([](frmPixelSwitch* dialog) {
            Mouse(dialog->findChild<ViewCanvas*>("picCols"), QEvent::MouseButtonRelease, {3 * 24 + 5, 5}, Qt::RightButton);
            dialog->findChild<QPushButton*>("cmdOkay")->click();
        });
        Child<QPushButton>("cmdPixelSwitch")->click();
        TileImage expected = before;
        SwitchTilePixels(expected, 0, 3);
        QCOMPARE(DisplayTile(*model, 2, PageTile(0, 1, 1)), expected);
        ExpectCellShows(1, 1);
        ExpectCellShows(2, 3);
    }

    void tileAndColourEditorsStoreTheirResultAndRedraw() {
        QVERIFY(window->LoadRomFile(QString::fromStdString((dir / "game.gb").string())));
        Select({4, 5}, {4, 5});
        const int colour = (TilePixel(DisplayTile(*model, 2, PageTile(0, 4, 5)), 6, 7) + 1) % kColours;
        WhenShown<frmTileEdit>([colour](frmTileEdit* dialog) {
            Mouse(dialog->findChild<ViewCanvas*>("picCols"), QEvent::MouseButtonRelease, {5, colour * 32 + 5});
            Mouse(dialog->findChild<ViewCanvas*>("picTileEdit"), QEvent::MouseButtonPress, {24 * 6 + 3, 24 * 7 + 3});
            dialog->findChild<QPushButton*>("cmdOkay")->click();
        });
        Mouse(picTiles, QEvent::MouseButtonDblClick, {4 * 16 + 3, 5 * 16 + 3});
        QCOMPARE(TilePixel(DisplayTile(*model, 2, PageTile(0, 4, 5)), 6, 7), colour);
        QVERIFY(model->TileEdited[2][PageTile(0, 4, 5)]);
        ExpectCellShows(4, 5);

        WhenShown<frmEditCol>([](frmEditCol* dialog) {
            dialog->findChild<QSlider*>("sldRed")->setValue(31);
            dialog->findChild<QPushButton*>("cmdOkay")->click();
        });
        Mouse(Child<ViewCanvas>("picPals"), QEvent::MouseButtonRelease, {16 * 2 + 3, 16 * 0 + 3});
        QCOMPARE(model->Pals[kSpriteSet][0][2][0], std::int16_t(31));
        QCOMPARE(Child<ViewCanvas>("picPals")->image().pixel(16 * 2 + 3, 3), QRgb(ScreenColour(*model, window->View(), 2, 0)));
        ExpectCellShows(0, 0);
    }

    void projectsGoThroughTheChooserAndRefusalsAreShownInOrder() {
        QVERIFY(window->LoadRomFile(QString::fromStdString((dir / "game.gb").string())));
        model->TilePal[2][7] = 5;
        auto choose = [this](const char* name) {
            WhenShown<frmFile>([this, name](frmFile* chooser) {
                chooser->OpenDirectory(QString::fromStdString(dir.path().string()));
                chooser->findChild<QLineEdit*>("txtFileName")->setText(name);
                chooser->findChild<QPushButton*>("cmdOkay")->click();
            });
        };
        choose("work");
        Child<QAction>("mnuFileSavegbp")->trigger();
        std::vector<std::uint8_t> expected;
        std::string error;
        QVERIFY(EncodeGbp(*model, expected, error));
        QVERIFY(ReadFile(dir / "work.gbp") == expected);

        WriteFile(dir / "bad.gbp", {'D', 'A', 'P', 'P', 'L', 'E', 'X', 'P', 'R', 'J', 2, 0});
        messages.log.clear();
        choose("bad.gbp");
        Child<QAction>("mnuFileLoadgbp")->trigger();
        QCOMPARE(messages.log, QStringList({"Error: Not a valid Gbp file!", "Error: Unsupported Gbp version!",
                                            "Error: Couldn't Load Gbp File!"}));
        model->TilePal[2][7] = 0;
        choose("work.gbp");
        Child<QAction>("mnuFileLoadgbp")->trigger();
        QCOMPARE(model->TilePal[2][7], std::int16_t(5));
        ExpectCellShows(7, 0);

        messages.log.clear();
        messages.answers = {MessageAnswer::No};
        window->close();
        QCOMPARE(messages.log, QStringList({"Query: Save palette and tile data?"}));
        QVERIFY(window->ProgramEnded());
    }
};

}  // namespace
}  // namespace dapplix

QTEST_MAIN(dapplix::WindowTests)
#include "test_windows.moc"
