// The Play window screenshots of the README and docs/screenshots: the demo ROM with a
// project, played, a tile found, and the tiles seen without a palette marked. Run on a
// virtual screen; each picture is taken of the whole screen with ImageMagick's import.
//   xvfb-run -a -s "-screen 0 1180x600x24" playshots ROM PROJECT.gbp OUTDIR
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QKeyEvent>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

#include <cstdio>

#include "engine/CodeFiles.h"
#include "engine/Flows.h"
#include "play/frmPlay.h"
#include "view/frmMain.h"
#include "widgets/AppFont.h"

using namespace dapplix;

namespace {

void Settle(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

bool Snap(const QString& path) {
    Settle(300);
    return QProcess::execute("import", {"-window", "root", path}) == 0;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc != 4) {
        std::fprintf(stderr, "usage: playshots ROM PROJECT.gbp OUTDIR\n");
        return 2;
    }
    UseCompactFont();
    const QString out = argv[3];
    Model& model = Binary();
    if (!frmMain::LoadSideFiles(model, CodeFileSearchDirs())) return 1;
    frmMain window(model);
    window.move(0, 0);
    window.show();
    if (!window.LoadRomFile(argv[1])) return 1;
    if (!OpenProject(model, argv[2]).ok) return 1;
    window.findChild<QRadioButton*>("optBG")->click();  // the tile view in the background colours

    window.findChild<QAction*>("mnuGamePlay")->trigger();
    frmPlay* play = window.PlayWindow();
    play->move(400, 0);
    play->findChild<QCheckBox*>("chkMono")->click();
    play->SetPaused(true);
    for (int frame = 0; frame < 240; ++frame) {  // past the start-up, when the refresh has passed the sun
        if (frame == 60 || frame == 90) {
            QKeyEvent key(frame == 60 ? QEvent::KeyPress : QEvent::KeyRelease, Qt::Key_Right, Qt::NoModifier);
            QApplication::sendEvent(play, &key);
        }
        play->StepFrame();
    }
    bool ok = Snap(out + "/play.png");

    // A short animation of play, in real time.
    QString error;
    play->SetPaused(false);
    play->StartRecording();
    Settle(2000);
    ok = ok && play->SaveRecording(out + "/play.gif", error);
    play->SetPaused(true);

    play->FindTileAt(78, 92);  // the roof of the house
    ok = ok && Snap(out + "/play-find.png");

    // The trees and flowers back without a palette, live: what the marks are for.
    for (int tile = 10; tile < 22; ++tile) model.TilePal[3][tile] = 0;
    play->StepFrame();
    window.findChild<QAction*>("mnuGameSeen")->trigger();
    window.ShowTileAt(3, model.TileOffset[3], 12);
    ok = ok && Snap(out + "/play-coverage.png");

    if (!ok) std::fprintf(stderr, "playshots: %s\n", error.isEmpty() ? "a picture could not be taken" : qPrintable(error));
    return ok ? 0 : 1;
}
