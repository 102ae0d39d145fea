// The Play window: the colour ROM of the project as it is now, running in the mGBA core,
// with the original monochrome ROM beside it if wanted. Colours and palettes changed in the
// main window show in the running game at the next frame; a click on the screen finds the
// tile there in the ROM and has the main window select it; every tile the game shows is
// noted, so the tile view can mark what is still without a palette.
#pragma once

#include <QElapsedTimer>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "emulator/AnimatedGif.h"
#include "emulator/Emulator.h"
#include "emulator/LiveProject.h"
#include "emulator/Screen.h"
#include "engine/Binary.h"
#include "engine/TileSearch.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QListWidget;
class QPushButton;
class QAudioSink;
class QIODevice;
class QTimer;

namespace dapplix {

class GameScreen;

inline constexpr const char* kMsgNothingThere = "Nothing is drawn there.";
inline constexpr const char* kMsgTileNotInRom =
    "This tile is not in the ROM as it is shown: the game unpacks or builds it while it runs.";
inline constexpr const char* kMsgOnlyInHiddenBanks = "This tile is only in banks that the tile view does not show.";
inline constexpr int kRecordingLimitSeconds = 20;

class frmPlay : public QWidget {
    Q_OBJECT
public:
    explicit frmPlay(Model& model, QWidget* parent = nullptr);
    ~frmPlay() override;

    // The original ROM file's bytes, run beside the colour ROM when asked for.
    void SetOriginalRom(std::vector<std::uint8_t> rom);
    // Builds the colour ROM from the project as it is and powers it on (and the original
    // beside it). False, with the reason, when no colour ROM can be built.
    bool Start(QString& error);
    bool IsRunning() const { return colour_ != nullptr; }
    // Ends the game and frees the cores (closing the window does it too).
    void Stop();

    void SetPaused(bool paused);
    bool IsPaused() const { return paused_; }
    void StepFrame();  // one frame, paused or not
    void ResetGame();  // power on again with the project as it is now
    void SetMonochromeShown(bool shown);
    bool MonochromeShown() const;
    void SetScale(int scale);
    // Sound plays through the system's default output where Qt Multimedia and an output
    // are there; the check box mutes it.
    bool SoundAvailable() const;
    void SetSoundOn(bool on);

    // What a click on the screen does: pauses, finds the tile at the Game Boy pixel in the
    // ROM and has the main window select the first place it can show. True when a place
    // was selected.
    bool FindTileAt(int x, int y);
    const std::vector<TileMatch>& Matches() const { return matches_; }
    bool ShowMatch(int index);

    bool SaveScreenshot(const QString& path, QString& error) const;
    void StartRecording();
    bool IsRecording() const { return recording_; }
    int RecordedFrames() const { return static_cast<int>(recorded_.size()); }
    bool SaveRecording(const QString& path, QString& error);

    Emulator* ColourGame() { return colour_.get(); }
    Emulator* MonochromeGame() { return mono_.get(); }
    const GameScreen* ColourScreen() const { return picScreen; }
    const TileCoverage& Coverage() const { return coverage_; }
    void ClearCoverage() { coverage_.Clear(); tracker_.Forget(); }
    std::uint32_t HeldKeys() const { return keys_; }
    QString StatusText() const;

    // Set by the main window: selects a place in the tile view (false when its bank is not
    // shown), and asks for a file to save to.
    std::function<bool(const TileMatch&)> ShowTile;
    std::function<bool(const QString& title, const QString& pattern, QString& path)> ChooseSaveFile;

signals:
    // New tile images were seen in play (at most a few times a second).
    void coverageChanged();
    void frameShown();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void Tick();
    void RunOneFrame();
    void ApplyProjectChanges();
    void ShowFrames();
    void StartSound();
    void StopSound();
    void PlaySamples();
    void SetStatus(const QString& text);
    void Screen_Click(int x, int y);
    void cmdScreenshot_Click();
    void cmdRecord_Toggled(bool on);
    static std::uint32_t KeyOf(int qtKey);

    Model& model_;
    std::vector<std::uint8_t> originalRom_;
    std::unique_ptr<Emulator> colour_, mono_;
    ProjectFingerprint shown_;
    TileCoverage coverage_;
    CoverageTracker tracker_;
    bool coverageGrew_ = false;
    qint64 lastCoverageSignal_ = 0;
    std::uint32_t keys_ = 0;
    bool paused_ = false;
    std::vector<TileMatch> matches_;
    bool recording_ = false;
    std::vector<GifFrame> recorded_;
    double recordClock_ = 0;  // centiseconds of the recording so far, exactly
    int recordedCentiseconds_ = 0;

    QTimer* timer_ = nullptr;
    QElapsedTimer clock_;
    std::int64_t framesPaced_ = 0;

    GameScreen* picScreen = nullptr;
    GameScreen* picMono = nullptr;
    QPushButton* cmdPause = nullptr;
    QPushButton* cmdStep = nullptr;
    QPushButton* cmdReset = nullptr;
    QCheckBox* chkMono = nullptr;
    QCheckBox* chkSound = nullptr;
    QAudioSink* sink_ = nullptr;
    QIODevice* audioOut_ = nullptr;
    std::vector<std::int16_t> samples_;
    QComboBox* cboScale = nullptr;
    QPushButton* cmdScreenshot = nullptr;
    QPushButton* cmdRecord = nullptr;
    QLabel* lblStatus = nullptr;
    QListWidget* lstMatches = nullptr;
};

}  // namespace dapplix
