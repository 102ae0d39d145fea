#include "play/frmPlay.h"

#include <QBuffer>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFile>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTimer>
#include <QVBoxLayout>

#include <cmath>

#ifdef DAPPLIX_SOUND
#include <QAudioFormat>
#include <QAudioSink>
#include <QMediaDevices>
#endif

#include "engine/Files.h"
#include "engine/Writer.h"
#include "play/GameScreen.h"

namespace dapplix {
namespace {

constexpr int kMaxCatchUpFrames = 4;       // after a stall the game slows down rather than racing
constexpr int kRecordEveryNthFrame = 2;    // about 30 pictures a second
constexpr qint64 kCoverageSignalMs = 250;
constexpr int kSampleRate = 48000;
constexpr int kSoundBufferMs = 100;        // kept short: sound later than the picture is worse

QPushButton* MakeButton(QWidget* parent, const char* name, const QString& text) {
    auto* button = new QPushButton(text, parent);
    button->setObjectName(name);
    button->setFocusPolicy(Qt::NoFocus);  // the keys belong to the game
    return button;
}

// An all-or-nothing write of a file the user chose, refused where a write would destroy
// something (a folder, a device, a read-only file).
bool WriteOutput(const QString& path, const std::uint8_t* data, std::size_t size, QString& error) {
    const std::string local = QFile::encodeName(path).toStdString();
    std::string reason;
    if (!CheckOutputTarget(local, {}, reason) || !WriteFileAtomically(local, data, size, reason)) {
        error = QString::fromStdString(reason);
        return false;
    }
    return true;
}

QString Describe(const TileMatch& match) {
    QString text = QString("Bank %1, offset %2, page %3, tile %4").arg(match.bank).arg(match.offset).arg(match.Page()).arg(match.tile);
    if (match.redrawn) text += " (redrawn)";
    return text;
}

}  // namespace

frmPlay::frmPlay(Model& model, QWidget* parent) : QWidget(parent, Qt::Window), model_(model) {
    setObjectName("frmPlay");
    setWindowTitle("Play");
    setFocusPolicy(Qt::StrongFocus);

    picScreen = new GameScreen(this);
    picScreen->setObjectName("picScreen");
    picMono = new GameScreen(this);
    picMono->setObjectName("picMono");
    picMono->hide();

    cmdPause = MakeButton(this, "cmdPause", "&Pause");
    cmdPause->setCheckable(true);
    cmdStep = MakeButton(this, "cmdStep", "S&tep");
    cmdReset = MakeButton(this, "cmdReset", "&Reset");
    chkMono = new QCheckBox("&Monochrome beside", this);
    chkMono->setObjectName("chkMono");
    chkMono->setFocusPolicy(Qt::NoFocus);
    chkSound = new QCheckBox("S&ound", this);
    chkSound->setObjectName("chkSound");
    chkSound->setFocusPolicy(Qt::NoFocus);
    chkSound->setEnabled(SoundAvailable());
    chkSound->setChecked(SoundAvailable());
    cboScale = new QComboBox(this);
    cboScale->setObjectName("cboScale");
    cboScale->setFocusPolicy(Qt::NoFocus);
    for (int scale = 1; scale <= 4; ++scale) cboScale->addItem(QString("%1x").arg(scale), scale);
    cboScale->setCurrentIndex(1);
    cmdScreenshot = MakeButton(this, "cmdScreenshot", "Screens&hot");
    cmdRecord = MakeButton(this, "cmdRecord", "Re&cord");
    cmdRecord->setCheckable(true);
    lblStatus = new QLabel(this);
    lblStatus->setObjectName("lblStatus");
    lblStatus->setWordWrap(true);
    lstMatches = new QListWidget(this);
    lstMatches->setObjectName("lstMatches");
    lstMatches->setFocusPolicy(Qt::NoFocus);
    lstMatches->setMaximumHeight(90);
    lstMatches->hide();

    auto* screens = new QHBoxLayout;
    screens->addWidget(picScreen);
    screens->addWidget(picMono);
    screens->addStretch();
    auto* buttons = new QHBoxLayout;
    for (QWidget* w : std::initializer_list<QWidget*>{cmdPause, cmdStep, cmdReset, chkMono, chkSound, cboScale, cmdScreenshot, cmdRecord})
        buttons->addWidget(w);
    buttons->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(screens);
    layout->addLayout(buttons);
    layout->addWidget(lblStatus);
    layout->addWidget(lstMatches);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    timer_ = new QTimer(this);
    timer_->setTimerType(Qt::PreciseTimer);
    timer_->setInterval(static_cast<int>(1000.0 / kGameBoyFramesPerSecond) / 2);

    connect(timer_, &QTimer::timeout, this, [this] { Tick(); });
    connect(cmdPause, &QPushButton::toggled, this, [this](bool on) { SetPaused(on); });
    connect(cmdStep, &QPushButton::clicked, this, [this] { StepFrame(); });
    connect(cmdReset, &QPushButton::clicked, this, [this] { ResetGame(); });
    connect(chkMono, &QCheckBox::toggled, this, [this](bool on) { SetMonochromeShown(on); });
    connect(chkSound, &QCheckBox::toggled, this, [this](bool on) { SetSoundOn(on); });
    connect(cboScale, &QComboBox::currentIndexChanged, this, [this](int) { SetScale(cboScale->currentData().toInt()); });
    connect(cmdScreenshot, &QPushButton::clicked, this, [this] { cmdScreenshot_Click(); });
    connect(cmdRecord, &QPushButton::toggled, this, [this](bool on) { cmdRecord_Toggled(on); });
    connect(picScreen, &GameScreen::clicked, this, [this](int x, int y) { Screen_Click(x, y); });
    connect(picMono, &GameScreen::clicked, this, [this](int x, int y) { Screen_Click(x, y); });
    connect(lstMatches, &QListWidget::currentRowChanged, this, [this](int row) {
        if (row >= 0) ShowMatch(row);
    });
}

frmPlay::~frmPlay() = default;

void frmPlay::SetOriginalRom(std::vector<std::uint8_t> rom) { originalRom_ = std::move(rom); }

bool frmPlay::Start(QString& error) {
    if (!model_.ColourCodePlaced) {
        error = QString::fromLatin1(kMsgCodeNotPlaced);
        return false;
    }
    try {
        colour_ = std::make_unique<Emulator>(BuildColorRom(model_));
        mono_.reset();
        if (!originalRom_.empty()) mono_ = std::make_unique<Emulator>(originalRom_);
    } catch (const std::exception& e) {
        colour_.reset();
        error = QString::fromStdString(e.what());
        return false;
    }
    shown_ = FingerprintOf(model_);
    tracker_.Forget();
    keys_ = 0;
    SetPaused(false);
    chkMono->setEnabled(mono_ != nullptr);
    if (!mono_) chkMono->setChecked(false);
    StartSound();
    SetStatus("Arrows, Z (B), X (A), Enter (Start), Backspace (Select). Click the screen to find a tile.");
    framesPaced_ = 0;
    clock_.start();
    timer_->start();
    ShowFrames();
    return true;
}

void frmPlay::Stop() {
    timer_->stop();
    StopSound();
    colour_.reset();
    mono_.reset();
    recording_ = false;
    recorded_.clear();
    {
        const QSignalBlocker blocker(cmdRecord);
        cmdRecord->setChecked(false);
    }
}

void frmPlay::SetPaused(bool paused) {
    paused_ = paused;
    if (cmdPause->isChecked() != paused) {
        const QSignalBlocker blocker(cmdPause);
        cmdPause->setChecked(paused);
    }
    if (!paused) {
        picScreen->SetMark({});
        picMono->SetMark({});
        framesPaced_ = 0;
        clock_.restart();
    }
}

void frmPlay::StepFrame() {
    if (!colour_) return;
    RunOneFrame();
    PlaySamples();
    ShowFrames();
}

void frmPlay::ResetGame() {
    if (!colour_) return;
    try {
        colour_->LoadRom(BuildColorRom(model_));
        if (mono_) mono_->Reset();
    } catch (const std::exception& e) {
        Stop();  // a core that refused its cartridge is of no further use
        SetStatus(QString::fromStdString(e.what()));
        return;
    }
    shown_ = FingerprintOf(model_);
    tracker_.Forget();
    picScreen->SetMark({});
    picMono->SetMark({});
    framesPaced_ = 0;
    clock_.restart();
    ShowFrames();
}

void frmPlay::SetMonochromeShown(bool shown) {
    if (shown && !mono_) shown = false;
    if (chkMono->isChecked() != shown) {
        const QSignalBlocker blocker(chkMono);
        chkMono->setChecked(shown);
    }
    picMono->setVisible(shown);
}

bool frmPlay::MonochromeShown() const { return chkMono->isChecked() && mono_ != nullptr; }

void frmPlay::SetScale(int scale) {
    picScreen->SetScale(scale);
    picMono->SetScale(scale);
    const int index = cboScale->findData(scale);
    if (index >= 0 && index != cboScale->currentIndex()) {
        const QSignalBlocker blocker(cboScale);
        cboScale->setCurrentIndex(index);
    }
}

// --- running ---------------------------------------------------------------------------------

void frmPlay::Tick() {
    if (!colour_) return;
    ApplyProjectChanges();
    if (paused_) return;
    // The frames real time asks for since the clock started; a stall is not made up for.
    const std::int64_t due = static_cast<std::int64_t>(clock_.nsecsElapsed() * 1e-9 * kGameBoyFramesPerSecond);
    std::int64_t behind = due - framesPaced_;
    if (behind <= 0) return;
    if (behind > kMaxCatchUpFrames) {
        framesPaced_ = due - kMaxCatchUpFrames;
        behind = kMaxCatchUpFrames;
    }
    for (; behind > 0; --behind, ++framesPaced_) RunOneFrame();
    PlaySamples();
    ShowFrames();
}

void frmPlay::RunOneFrame() {
    ApplyProjectChanges();
    colour_->RunFrame(keys_);
    if (mono_) mono_->RunFrame(keys_);
    if (tracker_.Note(colour_->Video(), coverage_) > 0) coverageGrew_ = true;
    if (recording_) {
        if (colour_->FramesRun() % kRecordEveryNthFrame == 0) {
            GifFrame frame;
            frame.pixels.resize(std::size_t(kScreenWidth) * kScreenHeight);
            for (int y = 0; y < kScreenHeight; ++y)
                for (int x = 0; x < kScreenWidth; ++x) frame.pixels[std::size_t(y) * kScreenWidth + x] = colour_->Pixel(x, y);
            // Each picture lasts two Game Boy frames; the delays are rounded so that their
            // sum keeps to the real time.
            recordClock_ += kRecordEveryNthFrame * 100.0 / kGameBoyFramesPerSecond;
            frame.delayCentiseconds = static_cast<int>(std::lround(recordClock_)) - recordedCentiseconds_;
            recordedCentiseconds_ += frame.delayCentiseconds;
            recorded_.push_back(std::move(frame));
            if (recordClock_ >= kRecordingLimitSeconds * 100.0) {
                recording_ = false;
                SetStatus(QString("The recording is full (%1 s): press Record to save it.").arg(kRecordingLimitSeconds));
            }
        }
    }
}

void frmPlay::ApplyProjectChanges() {
    const ProjectFingerprint now = FingerprintOf(model_);
    if (now == shown_) return;
    if (now.tiles != shown_.tiles) {
        PushAssignments(*colour_, model_);  // the colours go with it
    } else {
        PushColours(*colour_, model_);
    }
    shown_ = now;
}

void frmPlay::ShowFrames() {
    if (!colour_) return;
    picScreen->ShowFrame(colour_->Frame(), Emulator::kFrameStride);
    if (mono_) picMono->ShowFrame(mono_->Frame(), Emulator::kFrameStride);
    if (coverageGrew_) {
        const qint64 now = clock_.isValid() ? clock_.elapsed() : 0;
        if (now - lastCoverageSignal_ >= kCoverageSignalMs || paused_ || now < lastCoverageSignal_) {
            coverageGrew_ = false;
            lastCoverageSignal_ = now;
            emit coverageChanged();
        }
    }
    emit frameShown();
}

// --- keys ---------------------------------------------------------------------------------------

std::uint32_t frmPlay::KeyOf(int qtKey) {
    switch (qtKey) {
    case Qt::Key_Right: return kKeyRight;
    case Qt::Key_Left: return kKeyLeft;
    case Qt::Key_Up: return kKeyUp;
    case Qt::Key_Down: return kKeyDown;
    case Qt::Key_Z: return kKeyB;
    case Qt::Key_X: return kKeyA;
    case Qt::Key_Return:
    case Qt::Key_Enter: return kKeyStart;
    case Qt::Key_Backspace: return kKeySelect;
    default: return 0;
    }
}

void frmPlay::keyPressEvent(QKeyEvent* event) {
    const std::uint32_t key = KeyOf(event->key());
    if (!key) return QWidget::keyPressEvent(event);
    keys_ |= key;
    event->accept();
}

void frmPlay::keyReleaseEvent(QKeyEvent* event) {
    const std::uint32_t key = KeyOf(event->key());
    if (!key) return QWidget::keyReleaseEvent(event);
    if (!event->isAutoRepeat()) keys_ &= ~key;
    event->accept();
}

void frmPlay::focusOutEvent(QFocusEvent* event) {
    keys_ = 0;  // a key released in another window never reaches this one
    QWidget::focusOutEvent(event);
}

void frmPlay::closeEvent(QCloseEvent* event) {
    Stop();
    QWidget::closeEvent(event);
}

// --- find this tile ---------------------------------------------------------------------------

void frmPlay::Screen_Click(int x, int y) {
    setFocus();
    FindTileAt(x, y);
}

bool frmPlay::FindTileAt(int x, int y) {
    if (!colour_) return false;
    SetPaused(true);
    matches_.clear();
    lstMatches->clear();
    lstMatches->hide();
    const VideoState video = colour_->Video();
    const ScreenTile tile = TileAtPixel(video, x, y);
    if (tile.layer == ScreenLayer::None) {
        SetStatus(kMsgNothingThere);
        return false;
    }
    // The cell on screen that the tile fills.
    QRect cell;
    if (tile.layer == ScreenLayer::Sprite) {
        const std::uint8_t* entry = video.oam + 4 * tile.sprite;
        const int top = entry[0] - 16;
        const int half = (video.lcdc & 0x04) ? (y - top) / 8 : 0;  // 8 x 16 sprites: the half clicked
        cell = QRect(entry[1] - 8, top + 8 * half, 8, 8);
    } else if (tile.layer == ScreenLayer::Window) {
        cell = QRect(x - ((x + 7 - video.wx) & 7), y - ((y - video.wy) & 7), 8, 8);
    } else {
        cell = QRect(x - ((x + video.scx) & 7), y - ((y + video.scy) & 7), 8, 8);
    }
    picScreen->SetMark(cell);
    if (MonochromeShown()) picMono->SetMark(cell);

    matches_ = FindTileInModel(model_, tile.Bytes(video));
    if (matches_.empty()) {
        SetStatus(kMsgTileNotInRom);
        return false;
    }
    if (matches_.size() > 1) {
        const QSignalBlocker blocker(lstMatches);
        for (const TileMatch& match : matches_) lstMatches->addItem(Describe(match));
        lstMatches->show();
    }
    for (std::size_t i = 0; i < matches_.size(); ++i) {
        if (!ShowTile || !ShowTile(matches_[i])) continue;
        const QSignalBlocker blocker(lstMatches);
        lstMatches->setCurrentRow(static_cast<int>(i));
        SetStatus(matches_.size() == 1
                      ? Describe(matches_[i]) + ": selected in the tile view."
                      : QString("%1 places hold this tile; %2 is selected in the tile view. Pick another below.")
                            .arg(matches_.size())
                            .arg(Describe(matches_[i])));
        return true;
    }
    SetStatus(kMsgOnlyInHiddenBanks);
    return false;
}

bool frmPlay::ShowMatch(int index) {
    if (index < 0 || index >= int(matches_.size()) || !ShowTile) return false;
    if (!ShowTile(matches_[index])) {
        SetStatus(kMsgOnlyInHiddenBanks);
        return false;
    }
    SetStatus(Describe(matches_[index]) + ": selected in the tile view.");
    return true;
}

// --- recording ----------------------------------------------------------------------------------

bool frmPlay::SaveScreenshot(const QString& path, QString& error) const {
    const QImage rgb = picScreen->ScaledFrame().convertToFormat(QImage::Format_RGB888);
    QByteArray data;
    QBuffer buffer(&data);
    buffer.open(QIODevice::WriteOnly);
    if (!rgb.save(&buffer, "PNG")) {
        error = "The screenshot could not be made.";
        return false;
    }
    return WriteOutput(path, reinterpret_cast<const std::uint8_t*>(data.constData()), std::size_t(data.size()), error);
}

void frmPlay::StartRecording() {
    recorded_.clear();
    recordClock_ = 0;
    recordedCentiseconds_ = 0;
    recording_ = true;
    if (!cmdRecord->isChecked()) {
        const QSignalBlocker blocker(cmdRecord);
        cmdRecord->setChecked(true);
    }
    SetStatus(QString("Recording (at most %1 s): press Record again to save it.").arg(kRecordingLimitSeconds));
}

bool frmPlay::SaveRecording(const QString& path, QString& error) {
    recording_ = false;
    if (cmdRecord->isChecked()) {
        const QSignalBlocker blocker(cmdRecord);
        cmdRecord->setChecked(false);
    }
    if (recorded_.empty()) {
        error = "Nothing was recorded.";
        return false;
    }
    const std::vector<std::uint8_t> gif = EncodeAnimatedGif(recorded_, kScreenWidth, kScreenHeight, picScreen->Scale());
    if (!WriteOutput(path, gif.data(), gif.size(), error)) return false;
    recorded_.clear();
    return true;
}

void frmPlay::cmdScreenshot_Click() {
    QString path;
    if (!ChooseSaveFile || !ChooseSaveFile("Save Screenshot", "*.png", path)) return;
    QString error;
    SetStatus(SaveScreenshot(path, error) ? path + " saved." : error);
}

void frmPlay::cmdRecord_Toggled(bool on) {
    if (on) {
        StartRecording();
        return;
    }
    recording_ = false;
    QString path;
    if (!ChooseSaveFile || !ChooseSaveFile("Save Animation", "*.gif", path)) {
        recorded_.clear();
        SetStatus("The recording was not saved.");
        return;
    }
    QString error;
    SetStatus(SaveRecording(path, error) ? path + " saved." : error);
}

// --- sound -----------------------------------------------------------------------------------------

bool frmPlay::SoundAvailable() const {
#ifdef DAPPLIX_SOUND
    return !QMediaDevices::defaultAudioOutput().isNull();
#else
    return false;
#endif
}

void frmPlay::SetSoundOn(bool on) {
    if (chkSound->isChecked() != on) {
        const QSignalBlocker blocker(chkSound);
        chkSound->setChecked(on);
    }
}

void frmPlay::StartSound() {
#ifdef DAPPLIX_SOUND
    StopSound();
    const QAudioDevice device = QMediaDevices::defaultAudioOutput();
    QAudioFormat format;
    format.setSampleRate(kSampleRate);
    format.setChannelCount(2);
    format.setSampleFormat(QAudioFormat::Int16);
    if (device.isNull() || !device.isFormatSupported(format) || !colour_) return;
    sink_ = new QAudioSink(device, format, this);
    sink_->setBufferSize(kSampleRate * 4 * kSoundBufferMs / 1000);
    audioOut_ = sink_->start();
    colour_->EnableAudio(kSampleRate);
#endif
}

void frmPlay::StopSound() {
#ifdef DAPPLIX_SOUND
    if (sink_) {
        sink_->stop();
        delete sink_;
    }
#endif
    sink_ = nullptr;
    audioOut_ = nullptr;
}

void frmPlay::PlaySamples() {
#ifdef DAPPLIX_SOUND
    if (!colour_ || !audioOut_) return;
    // Everything the frames made is read, so that nothing piles up; what the output has no
    // room for, or what a muted game makes, is dropped.
    samples_.resize(std::size_t(kSampleRate) / 10 * 2);
    const int frames = colour_->ReadAudio(samples_.data(), static_cast<int>(samples_.size() / 2));
    if (!chkSound->isChecked() || frames <= 0) return;
    const qint64 bytes = std::min<qint64>(qint64(frames) * 4, sink_->bytesFree() / 4 * 4);
    if (bytes > 0) audioOut_->write(reinterpret_cast<const char*>(samples_.data()), bytes);
#endif
}

void frmPlay::SetStatus(const QString& text) { lblStatus->setText(text); }
QString frmPlay::StatusText() const { return lblStatus->text(); }

}  // namespace dapplix
