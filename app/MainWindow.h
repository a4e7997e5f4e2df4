#pragma once
#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include <QMainWindow>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>
#include <QTimer>

#include <opencv2/core.hpp>

#include "app/Options.h"
#include "app/WindowVideoThread.h"

class QResizeEvent;

namespace kalvero {

class About;

namespace Ui {
struct MainWindow;
}

// The program's only window: console on the left, video monitor on the
// right, settings panel below. Owns the settings record read by the worker,
// the worker's control block and the About window.
//
// A run is played by a detached worker thread (WindowVideoThread::run). The window
// keeps track of that thread's completion so that it never releases what the
// worker uses while it still runs: closing the window or quitting ends the
// run first (clear the pause, raise stopRequest, wait; the worker leaves
// within one frame). The worker's frames and log lines wait in the control
// block's outbox and are put on the widgets by a GUI-thread timer while a
// worker is active.
class MainWindow : public QMainWindow {
    Q_OBJECT

public:
    explicit MainWindow(QWidget* parent = nullptr);
    ~MainWindow() override;

    // Read-only views of the window state, for tests and diagnostics.
    const Options& settings() const { return options; }
    WindowVideoThread& control() { return *videoThread; }
    const cv::Mat& preview() const { return previewFrame; }
    bool zoneOverlayShown() const { return zoneShown; }
    bool numberHOverlayShown() const { return numberHShown; }
    About& aboutWindow() { return *about; }

    // True from the start of a worker thread until its body has returned.
    bool workerActive() const;

    // What a press of Start does now. Idle: starts a run. Starting (the
    // worker is opening its file or working on its first frame): nothing,
    // the run just asked for goes on (so a double click starts one run).
    // Running (or paused, after the first frame): ends the run (the pause is
    // cleared, the run ends before its next frame). Ending (the run has been
    // asked to end or has played its last frame, and its worker is
    // finishing): a new run starts as soon as that worker has finished,
    // within one frame.
    enum class StartState { Idle, Starting, Running, Ending };
    StartState startState() const;
    // True while a press made during Ending waits for the worker to finish.
    bool startPending() const { return startQueued; }

    // Ends the active run, if any: clears the pause, raises stopRequest and
    // waits until the worker has finished. Frames it left are still shown.
    void stopRun();

protected:
    void resizeEvent(QResizeEvent* event) override;

    // The open-file dialog; returns the chosen path or an empty text.
    virtual QString chooseVideoFile();
    // The quit question; true when the operator answered Ok.
    virtual bool confirmQuit();

private slots:
    void quitApp();
    void showAbout();
    void openFile();
    void startProcess();
    void stopProcess();
    void applyNumberH();
    void applyZone();
    void applyDeepBuf();
    void applyColNum();
    void applyZoom();
    void showNumberH();
    void showZone();
    // The engine menu's entry: the learned engine from the next frame on
    // (as an Apply), or back to the glyph reader. When the learned engine's
    // network cannot be loaded the console says so and the glyph reader
    // stays.
    void chooseLearnedEngine(bool learned);

private:
    void raiseOptionsChanged();
    void startWorker();
    // Opens `path` and reads its first frame into `first` (empty when the
    // file opens but yields none) off the GUI thread, keeping the window
    // painted meanwhile; false when the file does not open.
    bool readFirstFrame(const std::string& path, cv::Mat& first);
    void deliverWorkerFrames();
    // Fills the zone fields with the zone proposed for a newly opened
    // `frame`: its top-left quarter.
    void proposeZone(const cv::Mat& frame);
    // Stores the zone fields (invalid numbers become 0) in options.
    void storeZone();
    // Lays the console, monitor and panel out for a window of `size`.
    void layOutForm(const QSize& size);
    // The preview's side of the overlay buttons: with no run and a picture
    // open, puts the overlay `draw` paints on the picture, or takes it off
    // when it is `shown`; only one overlay stands at a time (`otherShown`).
    void togglePreviewOverlay(bool& shown, bool& otherShown, void (FrameOverlays::*draw)(cv::Mat&, const RunPlan&));

    std::unique_ptr<Ui::MainWindow> ui;
    std::unique_ptr<About> about;
    std::unique_ptr<WindowVideoThread> videoThread;
    Options options;
    std::thread workerThread;  // detached right after start; see workerActive
    cv::Mat previewFrame;
    bool zoneShown = false;
    bool numberHShown = false;
    int lastWidth = 0;
    int lastHeight = 0;

    // Completion of the detached worker: raised before the thread starts,
    // cleared by the thread under the lock as its very last action.
    mutable std::mutex workerMutex;
    std::condition_variable workerDone;
    bool workerRunning = false;
    // Raised by the worker thread once its run has returned, so that the
    // moments before the first frame and after the last can be told apart.
    std::atomic<bool> runReturned{false};
    // GUI thread only: a Start pressed while a run was ending, and the
    // outbox's image count when the current run was started.
    bool startQueued = false;
    std::size_t imagesBeforeRun = 0;

    // The form as setupUi leaves it; every resize is laid out from these, so
    // that a size always gives the same layout whatever came before it.
    QSize formSize;
    QRect formConsole;
    QRect formMonitor;
    QPoint formPanel;

    // Moves the worker's frames onto the monitor and console.
    QTimer displayTimer;
};

}  // namespace kalvero
