#pragma once
#include "app/FrameOutbox.h"
#include "app/Options.h"
#include "worker/VideoThread.h"

class QLabel;
class QTextEdit;

namespace kalvero {

// The window's VideoThread: the Qt-free control block and run loop, plus the
// worker body the window starts on its thread, `run`, which plays into the
// window's widgets. Kept in app/ as a derived type so that the worker
// library never sees a Qt declaration, while the window (and its tests)
// still hold one block and call `run` on it as a member.
class WindowVideoThread : public VideoThread {
public:
    // Frames of the window's runs waiting for the GUI thread (filled by run,
    // emptied by the window's display timer). It addresses widgets, so it
    // belongs to the window's side, not to the Qt-free loop.
    FrameOutbox outbox;

    // Window worker body: plays options' file into the monitor label and the
    // console. Runs on the worker thread; never touches the widgets itself
    // but hands their frames and lines to `outbox` (see QtFrameSink.h). An
    // exception that ends the run becomes a console line instead of taking
    // the program down.
    void run(QLabel& monitor, QTextEdit& console, Options& options);
};

}  // namespace kalvero
