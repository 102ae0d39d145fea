// The colour editor driven as a user drives it: opened on a colour, sliders moved with
// keys and clicks, the swatch read back from the screen, Okay, Cancel, Escape and the
// window's close button.
#include <QAction>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTimer>
#include <QtTest>

#include "EditingFlowSupport.h"
#include "EditingTestSupport.h"
#include "project/frmEditCol.h"

using namespace dapplix;
using namespace dapplix::testing;
namespace gt = dapplix::guitest;

class TestEditCol : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<Model> model;
    std::unique_ptr<frmEditCol> dialog;

    QSlider* Slider(const char* name) { return dialog->findChild<QSlider*>(name); }
    QWidget* Swatch() { return dialog->findChild<QWidget*>("picEditCol"); }

    // Every pixel of the swatch's drawing area (29 x 21 inside its frame) shows colour.
    void CheckSwatch(QRgb colour) {
        const QImage shown = Swatch()->grab().toImage();
        QCOMPARE(shown.width(), 33);
        QCOMPARE(shown.height(), 25);
        for (int y = 0; y < 21; ++y)
            for (int x = 0; x < 29; ++x)
                if ((shown.pixel(x + 2, y + 2) & 0xFFFFFF) != colour)
                    QFAIL(qPrintable(QString("swatch pixel (%1, %2) is %3, expected %4")
                                         .arg(x).arg(y)
                                         .arg(shown.pixel(x + 2, y + 2) & 0xFFFFFF, 6, 16, QChar('0'))
                                         .arg(colour, 6, 16, QChar('0'))));
    }
    // Stops the calling test at the first wrong swatch.
    bool SwatchIs(QRgb colour) {
        CheckSwatch(colour);
        return !QTest::currentTestFailed();
    }

    void Open(int set, int pal, int col) {
        model->CurPalSet = std::int16_t(set);
        model->EditPal = std::int16_t(pal);
        model->EditCol = std::int16_t(col);
        dialog->show();
        QVERIFY(QTest::qWaitForWindowExposed(dialog.get()));
    }

private slots:
    void init() {
        model = MakeEditingModel();
        SetDefaultPals(*model);
        dialog = std::make_unique<frmEditCol>(*model);
    }
    void cleanup() { dialog.reset(); }

    void layout() {
        QCOMPARE(dialog->objectName(), QString("frmEditCol"));
        QCOMPARE(dialog->windowTitle(), QString());
        QCOMPARE(dialog->size(), QSize(224, 152));
        QCOMPARE(dialog->minimumSize(), dialog->maximumSize());  // not resizable
        QCOMPARE(Swatch()->geometry(), QRect(8, 8, 33, 25));
        QCOMPARE(dialog->findChild<QLabel*>("lblCol")->geometry(), QRect(48, 12, 177, 17));
        const char* captions[] = {"Red:", "Green:", "Blue:"};
        const char* sliders[] = {"sldRed", "sldGreen", "sldBlue"};
        for (int i = 0; i < 3; ++i) {
            QSlider* slider = Slider(sliders[i]);
            QVERIFY(slider);
            QCOMPARE(slider->geometry().topLeft(), QPoint(48, 40 + 24 * i));
            QCOMPARE(slider->width(), 177);
            QCOMPARE(slider->orientation(), Qt::Horizontal);
            QCOMPARE(slider->minimum(), 0);
            QCOMPARE(slider->maximum(), 31);
            QCOMPARE(slider->singleStep(), 1);
            QCOMPARE(slider->pageStep(), 8);
            bool found = false;
            for (QLabel* label : dialog->findChildren<QLabel*>())
                if (label->text() == captions[i] && label->pos() == QPoint(8, 40 + 24 * i)) found = true;
            QVERIFY2(found, captions[i]);
        }
        auto* okay = dialog->findChild<QPushButton*>("cmdOkay");
        auto* cancel = dialog->findChild<QPushButton*>("cmdCancel");
        QCOMPARE(okay->text(), QString("&Okay"));
        QCOMPARE(okay->geometry(), QRect(24, 120, 73, 25));
        QVERIFY(okay->isDefault());
        QCOMPARE(cancel->text(), QString("&Cancel"));
        QCOMPARE(cancel->geometry(), QRect(128, 120, 73, 25));
    }

    // Label, sliders and swatch on opening, with "Dim Colors" on (6) and off (8).
    void opening_data() {
        QTest::addColumn<int>("set");
        QTest::addColumn<int>("pal");
        QTest::addColumn<int>("col");
        QTest::addColumn<int>("scale");
        QTest::addColumn<QString>("label");
        QTest::addColumn<QList<int>>("components");
        QTest::addColumn<uint>("swatch");
        QTest::newRow("sprite default, dim") << 0 << 0 << 0 << 6 << "Sprite Palette 0, Color 0"
                                             << QList<int>{23, 23, 31} << 0x8A8ABAu;
        QTest::newRow("sprite default, bright") << 0 << 0 << 0 << 8 << "Sprite Palette 0, Color 0"
                                                << QList<int>{23, 23, 31} << 0xB8B8F8u;
        QTest::newRow("background 3/2, dim") << 1 << 3 << 2 << 6 << "Background Palette 3, Color 2"
                                             << QList<int>{9, 9, 9} << 0x363636u;
        QTest::newRow("background 7/0, bright") << 1 << 7 << 0 << 8 << "Background Palette 7, Color 0"
                                                << QList<int>{31, 31, 31} << 0xF8F8F8u;
        QTest::newRow("sprite 5/3 black") << 0 << 5 << 3 << 6 << "Sprite Palette 5, Color 3"
                                          << QList<int>{0, 0, 0} << 0x000000u;
    }
    void opening() {
        QFETCH(int, set);
        QFETCH(int, pal);
        QFETCH(int, col);
        QFETCH(int, scale);
        QFETCH(QString, label);
        QFETCH(QList<int>, components);
        QFETCH(uint, swatch);
        model->ColorScale = std::int16_t(scale);
        Open(set, pal, col);
        QCOMPARE(dialog->findChild<QLabel*>("lblCol")->text(), label);
        QCOMPARE(Slider("sldRed")->value(), components[0]);
        QCOMPARE(Slider("sldGreen")->value(), components[1]);
        QCOMPARE(Slider("sldBlue")->value(), components[2]);
        if (!SwatchIs(swatch)) return;
        QCOMPARE(dialog->PreviewColour() & 0xFFFFFF, swatch);
    }

    // Every slider change repaints the swatch; the palette changes only on Okay.
    void slidersRepaintSwatch() {
        model->ColorScale = 8;
        Open(1, 2, 1);  // background default colour 1: 20, 20, 20
        const auto before = model->Pals;
        QSlider* red = Slider("sldRed");
        QSlider* green = Slider("sldGreen");
        QSlider* blue = Slider("sldBlue");

        QCOMPARE(dialog->focusWidget(), red);  // the keys work at once
        QTest::keyClick(red, Qt::Key_Right);  // small step
        QCOMPARE(red->value(), 21);
        if (!SwatchIs(qRgb(21 * 8, 20 * 8, 20 * 8) & 0xFFFFFF)) return;
        QTest::keyClick(red, Qt::Key_PageUp);  // large step, held at the top
        QCOMPARE(red->value(), 29);
        QTest::keyClick(red, Qt::Key_PageUp);
        QCOMPARE(red->value(), 31);
        if (!SwatchIs(qRgb(248, 160, 160) & 0xFFFFFF)) return;

        green->setFocus();
        QTest::keyClick(green, Qt::Key_Home);
        QCOMPARE(green->value(), 0);
        if (!SwatchIs(qRgb(248, 0, 160) & 0xFFFFFF)) return;

        // A click on the track beside the handle moves by one large step.
        blue->setFocus();
        QTest::mouseClick(blue, Qt::LeftButton, Qt::NoModifier, QPoint(blue->width() - 3, blue->height() / 2));
        QCOMPARE(blue->value(), 28);
        if (!SwatchIs(qRgb(248, 0, 224) & 0xFFFFFF)) return;
        QTest::keyClick(blue, Qt::Key_Left);
        QCOMPARE(blue->value(), 27);
        if (!SwatchIs(qRgb(248, 0, 216) & 0xFFFFFF)) return;

        QVERIFY(before == model->Pals);
    }

    // Okay stores exactly the edited colour of the shown set.
    void okayStores_data() {
        QTest::addColumn<int>("set");
        QTest::newRow("sprite set") << 0;
        QTest::newRow("background set") << 1;
    }
    void okayStores() {
        QFETCH(int, set);
        Open(set, 6, 2);
        Slider("sldRed")->setValue(1);
        Slider("sldGreen")->setValue(2);
        Slider("sldBlue")->setValue(30);
        auto expected = model->Pals;
        expected[set][6][2] = {1, 2, 30};
        QTest::mouseClick(dialog->findChild<QPushButton*>("cmdOkay"), Qt::LeftButton);
        QVERIFY(!dialog->isVisible());
        QCOMPARE(dialog->result(), int(QDialog::Accepted));
        QVERIFY(expected == model->Pals);
    }

    void okayWithoutChangeWritesSameValues() {
        Open(1, 4, 3);
        const auto before = model->Pals;
        QTest::keyClick(dialog.get(), Qt::Key_Return);  // Enter is Okay
        QCOMPARE(dialog->result(), int(QDialog::Accepted));
        QVERIFY(before == model->Pals);
    }

    // Every way out but Okay leaves the palettes alone.
    void leavingWithoutOkay_data() {
        QTest::addColumn<QString>("how");
        QTest::newRow("Cancel button") << "cancel";
        QTest::newRow("Escape") << "escape";
        QTest::newRow("window closed") << "close";
    }
    void leavingWithoutOkay() {
        QFETCH(QString, how);
        Open(0, 1, 1);
        const auto before = model->Pals;
        Slider("sldGreen")->setValue(3);
        Slider("sldBlue")->setValue(4);
        if (how == "cancel")
            QTest::mouseClick(dialog->findChild<QPushButton*>("cmdCancel"), Qt::LeftButton);
        else if (how == "escape")
            QTest::keyClick(dialog.get(), Qt::Key_Escape);
        else
            dialog->close();
        QVERIFY(!dialog->isVisible());
        QCOMPARE(dialog->result(), int(QDialog::Rejected));
        QVERIFY(before == model->Pals);
    }

    // The dialog is reused: each opening starts from the colour then picked, never from
    // where the sliders were left, and follows a changed dim factor.
    void reopeningStartsFromCurrentColour() {
        model->ColorScale = 6;
        Open(0, 0, 0);
        Slider("sldRed")->setValue(2);
        dialog->reject();
        model->ColorScale = 8;
        Open(1, 0, 2);
        QCOMPARE(dialog->findChild<QLabel*>("lblCol")->text(), QString("Background Palette 0, Color 2"));
        QCOMPARE(Slider("sldRed")->value(), 9);
        if (!SwatchIs(qRgb(72, 72, 72) & 0xFFFFFF)) return;
    }

    // The opener's way: exec() blocks until a button hides the dialog.
    void execReturnsAfterOkay() {
        model->CurPalSet = 1;
        model->EditPal = 2;
        model->EditCol = 0;
        const int result = ExecDriven(dialog.get(), [this] {
            Slider("sldBlue")->setValue(5);
            QTest::mouseClick(dialog->findChild<QPushButton*>("cmdOkay"), Qt::LeftButton);
        });
        QCOMPARE(result, int(QDialog::Accepted));
        QCOMPARE(model->Pals[1][2][0][2], std::int16_t(5));
        QCOMPARE(model->Pals[1][2][0][0], std::int16_t(31));
    }

    // Picked from the real palette strip, with "Dim Colors" on and off: the swatch shows
    // the colour exactly as the strip does; Okay repaints the strip cell and redraws the
    // cells of that palette only.
    void fromThePaletteStrip_data() {
        QTest::addColumn<bool>("dim");
        QTest::newRow("dim colours") << true;
        QTest::newRow("full colours") << false;
    }
    void fromThePaletteStrip() {
        QFETCH(bool, dim);
        gt::Fixture f;
        QVERIFY(f.LoadRom());
        QTest::mouseClick(f.Find<QRadioButton>("optBG"), Qt::LeftButton);
        if (!dim) f.Find<QAction>("mnuOptDim")->trigger();
        QCOMPARE(f.model->ColorScale, std::int16_t(dim ? 6 : 8));
        gt::DragCells(f.Find<QWidget>("picTiles"), {0, 0}, {3, 0});
        QTest::mouseClick(f.Find<QRadioButton>("optPal4"), Qt::LeftButton);
        gt::DragCells(f.Find<QWidget>("picTiles"), {0, 5}, {0, 5});

        // A tile with no pixel of colour 1 would not show the change; find one with it.
        const auto hasColour1 = [&](int tile) {
            const TileImage image = DisplayTile(*f.model, 2, tile);
            for (int i = 0; i < 64; ++i)
                if (TilePixel(image, i % 8, i / 8) == 1) return true;
            return false;
        };
        QVERIFY(hasColour1(0) && hasColour1(16 * 5));

        auto* picPals = f.Find<QWidget>("picPals");
        const QRgb stripBefore = gt::Shown(gt::Grab(picPals), 1 * 16 + 8, 4 * 16 + 8);
        // A mark in the middle of every cell tells which cells are drawn again.
        constexpr QRgb kMark = 0xFF00FFu;
        auto* picTiles = f.Find<ViewCanvas>("picTiles");
        for (int cell = 0; cell < 256; ++cell)
            picTiles->image().setPixel(16 * (cell % 16) + 8, 16 * (cell / 16) + 8, 0xFF000000u | kMark);
        picTiles->ImageChanged(picTiles->image().rect());
        QRgb swatch = 0;
        gt::WhenShown<frmEditCol> editor([&](frmEditCol* shown) {
            swatch = ShownPixel(shown->findChild<QWidget*>("picEditCol"), 14, 10);
            shown->findChild<QSlider*>("sldRed")->setValue(31);
            shown->findChild<QSlider*>("sldGreen")->setValue(0);
            shown->findChild<QSlider*>("sldBlue")->setValue(0);
            gt::ClickButton(shown, "cmdOkay");
        });
        // Colour 1 of background palette 4: column 1, row 4 of the strip.
        gt::Mouse(picPals, QEvent::MouseButtonPress, {1 * 16 + 5, 4 * 16 + 5}, Qt::LeftButton, Qt::LeftButton);
        gt::Mouse(picPals, QEvent::MouseButtonRelease, {1 * 16 + 5, 4 * 16 + 5}, Qt::LeftButton, Qt::NoButton);
        QVERIFY(editor.ran());
        QCOMPARE(swatch, stripBefore);
        const QRgb red = dim ? 0xBA0000u : 0xF80000u;
        QCOMPARE(gt::Shown(gt::Grab(picPals), 1 * 16 + 8, 4 * 16 + 8), red);
        for (int column = 0; column < 4; ++column)
            gt::CheckCellShows(*f.window, *f.model, column, 0, DisplayTile(*f.model, 2, column), 4);
        // Cells of other palettes are left as they were drawn, except the selected one,
        // whose frame the redraw takes off and puts back.
        const QImage view = gt::Grab(picTiles);
        for (int cell = 4; cell < 256; ++cell)
            if (cell != 5 * 16)
                QVERIFY2(gt::Shown(view, 16 * (cell % 16) + 8, 16 * (cell / 16) + 8) == kMark,
                         qPrintable(QString("cell %1 was drawn again").arg(cell)));
    }
};

QTEST_MAIN(TestEditCol)
#include "test_editcol.moc"
