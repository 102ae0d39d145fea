// The window program. Reads the side files (and ends with a "Fatal Error" box when one is
// missing), shows the main window, and opens the ROM named on the command line, if any.
#include <QApplication>
#include <QCommandLineParser>
#include <QTimer>

#include "engine/Binary.h"
#include "engine/CodeFiles.h"
#include "widgets/AppFont.h"
#include "view/frmMain.h"

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName("Dapplix");
#ifdef DAPPLIX_VERSION
    QApplication::setApplicationVersion(DAPPLIX_VERSION);
#endif

    QCommandLineParser parser;
    parser.setApplicationDescription("Colours the tiles of a monochrome Game Boy ROM and writes a Game Boy Color ROM.");
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument("rom", "A Game Boy ROM (*.gb) to open at start.", "[rom]");
    parser.process(app);
    dapplix::UseCompactFont();

    dapplix::Model& model = dapplix::Binary();
    if (!dapplix::frmMain::LoadSideFiles(model, dapplix::CodeFileSearchDirs())) return 1;

    dapplix::frmMain window(model);
    QObject::connect(&window, &dapplix::frmMain::programEnded, &app, &QCoreApplication::quit, Qt::QueuedConnection);
    window.show();

    const QStringList roms = parser.positionalArguments();
    if (!roms.isEmpty()) {
        const QString path = roms.front();
        // Once the window is on screen, so the header messages and the scan window have
        // their parent to sit over.
        QTimer::singleShot(0, &window, [&window, path] { window.LoadRomFile(path); });
    }
    return app.exec();
}
