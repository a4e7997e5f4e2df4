#include "app/MainWindow.h"

#include <algorithm>
#include <atomic>
#include <string>
#include <system_error>

#include <QAction>
#include <QApplication>
#include <QByteArray>
#include <QDoubleSpinBox>
#include <QEventLoop>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QResizeEvent>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QTextEdit>

#include "app/About.h"
#include "app/MainWindowUi.h"
#include "app/QtFrameSink.h"
#include "app/WindowFont.h"
#include "app/WindowVideoThread.h"
#include "recognition_common/RecognitionEngine.h"
#include "worker/FrameScaling.h"
#include "worker/FrameSource.h"

namespace kalvero {

namespace {

// The display timer empties the outbox about 66 times a second: faster than
// any video's frame rate, so the monitor never lags a frame behind, while the
// GUI thread stays mostly idle.
constexpr int kDisplayIntervalMs = 15;

// Flips a flag that the worker may also write (drawZone).
void Toggle(std::atomic<bool>& flag) {
    bool current = flag.load();
    while (!flag.compare_exchange_weak(current, !current)) {
    }
}

}  // namespace

MainWindow::MainWindow(QWidget* parent) : QMainWindow(parent), ui(std::make_unique<Ui::MainWindow>()) {
    // Zone fields, preview and overlay state start cleared (member
    // initialisers); the file name starts empty.
    // The form's texts fit its rectangles in this font. It is made the
    // application's font (the About window was drawn for it too): under the
    // application's style sheet, widgets take the application's font when
    // polished, whatever their parent carries.
    QApplication::setFont(WindowFont());
    ui->setupUi(this);
    formSize = size();
    formConsole = ui->textConsole->geometry();
    formMonitor = ui->videoMonitor->geometry();
    formPanel = ui->widget->pos();

    ui->videoMonitor->setStyleSheet(
        QStringLiteral("QLabel { background-color : black; qproperty-alignment: AlignCenter; color: white;}"));
    qApp->setStyleSheet(QStringLiteral(
        "QPushButton { border: 2px solid #8f8f91; border-radius: 6px; background-color: #F3F3F4;} "
        "QPushButton:pressed{ background-color: #8f8f91; color: white;}"));

    lastWidth = width();
    lastHeight = height();

    about = std::make_unique<About>();
    // The About window alone must not keep the program running once the
    // main window has been closed.
    about->setAttribute(Qt::WA_QuitOnClose, false);

    ui->buttonShowNumberH->setEnabled(false);
    ui->buttonShowZone->setEnabled(false);

    connect(ui->actionExit, SIGNAL(triggered()), this, SLOT(quitApp()));
    connect(ui->actionAbout, SIGNAL(triggered()), this, SLOT(showAbout()));
    connect(ui->actionOpenFile, SIGNAL(triggered()), this, SLOT(openFile()));
    connect(ui->buttonStart, SIGNAL(clicked(bool)), this, SLOT(startProcess()));
    connect(ui->buttonStop, SIGNAL(clicked(bool)), this, SLOT(stopProcess()));
    connect(ui->buttonShowNumberH, SIGNAL(clicked(bool)), this, SLOT(showNumberH()));
    connect(ui->buttonShowZone, SIGNAL(clicked(bool)), this, SLOT(showZone()));
    connect(ui->buttonApplyNumberH, SIGNAL(clicked(bool)), this, SLOT(applyNumberH()));
    connect(ui->buttonApplyZone, SIGNAL(clicked(bool)), this, SLOT(applyZone()));
    connect(ui->buttonApplyDeepBuf, SIGNAL(clicked(bool)), this, SLOT(applyDeepBuf()));
    connect(ui->buttonApplyColNum, SIGNAL(clicked(bool)), this, SLOT(applyColNum()));
    connect(ui->buttonApplyZoom, SIGNAL(clicked(bool)), this, SLOT(applyZoom()));
    connect(ui->actionLearnedEngine, SIGNAL(toggled(bool)), this, SLOT(chooseLearnedEngine(bool)));

    videoThread = std::make_unique<WindowVideoThread>();

    displayTimer.setInterval(kDisplayIntervalMs);
    connect(&displayTimer, &QTimer::timeout, this, [this] { deliverWorkerFrames(); });

    // Defaults, loaded into options as the apply slots would.
    ui->editNumberH->setValue(29);
    ui->editZoneX->setText(QStringLiteral("0"));
    ui->editZoneY->setText(QStringLiteral("0"));
    ui->editZoneW->setText(QStringLiteral("0"));
    ui->editZoneH->setText(QStringLiteral("0"));
    ui->editDeepBuf->setText(QStringLiteral("30"));
    ui->editColSum->setText(QStringLiteral("5"));
    applyNumberH();
    applyZone();
    applyDeepBuf();
    applyColNum();
    applyZoom();
}

MainWindow::~MainWindow() {
    displayTimer.stop();
    stopRun();
    videoThread->outbox.Clear();
}

bool MainWindow::workerActive() const {
    std::lock_guard<std::mutex> lock(workerMutex);
    return workerRunning;
}

void MainWindow::stopRun() {
    startQueued = false;
    std::unique_lock<std::mutex> lock(workerMutex);
    if (!workerRunning) return;
    videoThread->isPaused.store(false, std::memory_order_release);
    videoThread->stopRequest.store(true, std::memory_order_release);
    workerDone.wait(lock, [this] { return !workerRunning; });
}

void MainWindow::resizeEvent(QResizeEvent* event) {
    layOutForm(event->size());
    lastWidth = event->size().width();
    lastHeight = event->size().height();
}

void MainWindow::layOutForm(const QSize& size) {
    // The console and the monitor grow by the window's growth over the
    // form's size and the panel moves down by it. Taken from the form each
    // time, not added to the current sizes: Qt clamps a negative height to
    // zero, and adding the next growth to a clamped height would drift.
    const int dW = size.width() - formSize.width();
    const int dH = size.height() - formSize.height();
    ui->textConsole->setGeometry(formConsole.x(), formConsole.y(), formConsole.width(),
                                 std::max(0, formConsole.height() + dH));
    ui->videoMonitor->setGeometry(formMonitor.x(), formMonitor.y(), std::max(0, formMonitor.width() + dW),
                                  std::max(0, formMonitor.height() + dH));
    ui->widget->move(formPanel.x(), formPanel.y() + dH);
}

QString MainWindow::chooseVideoFile() {
    return QFileDialog::getOpenFileName(nullptr, tr("Open file"), QString(),
                                        tr("Videos(*.mov *.avi *.mp4);;All files(*.*)"));
}

bool MainWindow::confirmQuit() {
    return QMessageBox::warning(this, tr("Quit"), tr("Do you want to exit?"), QMessageBox::Ok | QMessageBox::Cancel,
                                QMessageBox::NoButton) == QMessageBox::Ok;
}

void MainWindow::quitApp() {
    if (!confirmQuit()) return;
    stopRun();
    QCoreApplication::quit();
}

void MainWindow::showAbout() { about->show(); }

void MainWindow::openFile() {
    const QString chosen = chooseVideoFile();
    if (chosen.isEmpty()) return;

    const QByteArray local = chosen.toLocal8Bit();
    if (!StoreFileName(options, std::string(local.constData(), static_cast<std::size_t>(local.size())))) {
        ui->textConsole->append(tr("Путь к файлу слишком длинный: %1 байт, допустимо не более %2")
                                    .arg(local.size())
                                    .arg(kFileNameSize - 1));
        return;
    }

    cv::Mat first;
    if (!readFirstFrame(LoadFileName(options), first)) return;

    ui->buttonShowNumberH->setEnabled(true);
    ui->buttonShowZone->setEnabled(true);

    previewFrame = first;
    if (previewFrame.empty()) return;

    if (videoThread->isRunning.load(std::memory_order_acquire)) {
        // The monitor belongs to the run: only propose the zone of the new
        // file, unscaled and not applied.
        proposeZone(previewFrame);
        return;
    }

    ScaleByZoom(previewFrame, options.zoom.load());
    proposeZone(previewFrame);
    applyZone();
    ShowBgrFrame(*ui->videoMonitor, previewFrame);
}

void MainWindow::proposeZone(const cv::Mat& frame) {
    ui->editZoneX->setText(QStringLiteral("0"));
    ui->editZoneY->setText(QStringLiteral("0"));
    ui->editZoneW->setText(QString::number(frame.cols / 2 - 1));
    ui->editZoneH->setText(QString::number(frame.rows / 2 - 1));
}

void MainWindow::storeZone() {
    options.zoneX.store(ui->editZoneX->text().toInt());
    options.zoneY.store(ui->editZoneY->text().toInt());
    options.zoneW.store(ui->editZoneW->text().toInt());
    options.zoneH.store(ui->editZoneH->text().toInt());
}

MainWindow::StartState MainWindow::startState() const {
    if (!workerActive()) return StartState::Idle;
    if (videoThread->stopRequest.load(std::memory_order_acquire) || runReturned.load(std::memory_order_acquire)) {
        return StartState::Ending;
    }
    if (videoThread->outbox.ImagesPosted() == imagesBeforeRun) return StartState::Starting;
    // After its first frame a run that is no longer running is finishing.
    return videoThread->isRunning.load(std::memory_order_acquire) ? StartState::Running : StartState::Ending;
}

bool MainWindow::readFirstFrame(const std::string& path, cv::Mat& first) {
    // Decoding a large still takes longer than the window may stand still,
    // so it is done on a thread of its own while this one goes on painting
    // and delivering the frames of a run. The operator's input waits until
    // the file is read, so nothing can be started or opened in between.
    bool opened = false;
    std::atomic<bool> done{false};
    const auto read = [&] {
        FrameSource source;
        opened = source.open(path);
        if (opened) source.read(first);
        source.release();
        done.store(true, std::memory_order_release);
    };
    std::thread reader;
    try {
        reader = std::thread(read);
    } catch (const std::system_error&) {
        read();  // no thread to be had: read here, as before
        return opened;
    }
    // Events are handled here rather than by a nested event loop, which
    // would return at once once the application has been asked to quit.
    QTimer wake;  // often enough that a small video's first frame costs no visible delay
    wake.start(5);
    while (!done.load(std::memory_order_acquire)) {
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents | QEventLoop::WaitForMoreEvents);
    }
    reader.join();
    return opened;
}

void MainWindow::startProcess() {
    videoThread->isPaused.store(false, std::memory_order_release);
    switch (startState()) {
    case StartState::Idle:
        startWorker();
        return;
    case StartState::Starting:
        // A second press of the same click (or an impatient one) must not
        // cancel the run that is opening its file.
        return;
    case StartState::Running:
        // Start doubles as Stop.
        videoThread->stopRequest.store(true, std::memory_order_release);
        return;
    case StartState::Ending:
        // Two runs never overlap: the new one starts when the display timer
        // sees this worker finished (it leaves within one frame).
        startQueued = true;
        return;
    }
}

void MainWindow::startWorker() {
    {
        std::lock_guard<std::mutex> lock(workerMutex);
        workerRunning = true;
    }
    runReturned.store(false, std::memory_order_release);
    startQueued = false;
    imagesBeforeRun = videoThread->outbox.ImagesPosted();
    // No worker exists now, so a stop request left over from a press that
    // came as the last run was ending has no meaning any more.
    videoThread->stopRequest.store(false, std::memory_order_release);
    // The run starts with what the form holds now, a zone shown but not
    // applied included.
    videoThread->SetStartPlan(PlanOf(options));
    displayTimer.start();

    QLabel* monitor = ui->videoMonitor;
    QTextEdit* console = ui->textConsole;
    WindowVideoThread* block = videoThread.get();
    Options* settings = &options;
    try {
        workerThread = std::thread([this, monitor, console, block, settings] {
            block->run(*monitor, *console, *settings);
            runReturned.store(true, std::memory_order_release);
            // The very last action: after the unlock the thread touches
            // nothing of the window any more, so the window may go at once.
            std::lock_guard<std::mutex> lock(workerMutex);
            workerRunning = false;
            workerDone.notify_all();
        });
        workerThread.detach();
    } catch (const std::system_error& error) {
        {
            std::lock_guard<std::mutex> lock(workerMutex);
            workerRunning = false;
        }
        displayTimer.stop();
        ui->textConsole->append(tr("Не удалось запустить обработку: %1").arg(QString::fromLocal8Bit(error.what())));
    }
}

void MainWindow::deliverWorkerFrames() {
    // Whatever a finished worker posted is in the outbox before it reports
    // completion, so one more delivery after seeing it finished takes all.
    const bool active = workerActive();
    DeliverFrames(videoThread->outbox);
    if (active) return;
    displayTimer.stop();
    if (startQueued) startWorker();
}

void MainWindow::stopProcess() {
    videoThread->isPaused.store(!videoThread->isPaused.load(std::memory_order_acquire), std::memory_order_release);
}

// The window's record, converted once into the run's value and handed over
// whole (the running loop takes it on its next frame).
void MainWindow::raiseOptionsChanged() { videoThread->ApplyPlan(PlanOf(options)); }

void MainWindow::applyNumberH() {
    options.numberH.store(ui->editNumberH->text().toInt());
    raiseOptionsChanged();
}

void MainWindow::applyZone() {
    storeZone();
    raiseOptionsChanged();
}

void MainWindow::applyDeepBuf() {
    options.deepBuf.store(ui->editDeepBuf->text().toInt());
    raiseOptionsChanged();
}

void MainWindow::applyColNum() {
    options.colNum.store(ui->editColSum->text().toInt());
    raiseOptionsChanged();
}

void MainWindow::applyZoom() {
    options.zoom.store(static_cast<float>(ui->editZoom->value()));
    raiseOptionsChanged();
}

void MainWindow::chooseLearnedEngine(bool learned) {
    if (learned) {
        // Loading the runs' network here first keeps the entry honest when
        // the model cannot be loaded.
        std::string error;
        if (!videoThread->learnedNetwork(error)) {
            ui->textConsole->append(QStringLiteral("Обученный распознаватель недоступен, работает распознаватель по "
                                                   "шаблонам: ") +
                                    QString::fromStdString(error));
            const QSignalBlocker blocker(ui->actionLearnedEngine);
            ui->actionLearnedEngine->setChecked(false);
            return;
        }
    }
    options.engine.store(static_cast<std::int32_t>(learned ? RecognitionEngine::Learned : RecognitionEngine::Glyph));
    raiseOptionsChanged();
}

void MainWindow::showNumberH() {
    options.numberH.store(ui->editNumberH->text().toInt());
    videoThread->ShowPlan(PlanOf(options));
    Toggle(videoThread->drawNumberH);
    togglePreviewOverlay(numberHShown, zoneShown, &FrameOverlays::drawNumberHSample);
}

void MainWindow::showZone() {
    storeZone();
    videoThread->ShowPlan(PlanOf(options));
    Toggle(videoThread->drawZone);
    togglePreviewOverlay(zoneShown, numberHShown, &FrameOverlays::drawZoneBox);
}

void MainWindow::togglePreviewOverlay(bool& shown, bool& otherShown,
                                      void (FrameOverlays::*draw)(cv::Mat&, const RunPlan&)) {
    if (videoThread->isRunning.load(std::memory_order_acquire)) return;
    if (previewFrame.empty()) return;  // no picture: only the worker's switch
    if (shown) {
        ShowBgrFrame(*ui->videoMonitor, previewFrame);
        shown = false;
        return;
    }
    cv::Mat picture = previewFrame.clone();
    ((*videoThread).*draw)(picture, PlanOf(options));
    ShowBgrFrame(*ui->videoMonitor, picture);
    shown = true;
    otherShown = false;
}

}  // namespace kalvero
