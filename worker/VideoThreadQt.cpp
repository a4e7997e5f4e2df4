// The window's worker body: the run loop with the window's adapter.
#include <exception>
#include <string>

#include "worker/QtFrameSinkQt.h"
#include "worker/VideoThread.h"

namespace kalvero {

void VideoThread::run(QLabel& monitor, QTextEdit& console, Options& options) {
    QtFrameSink sink(monitor, console, outbox);
    try {
        Run(sink, options);
    } catch (const std::exception& error) {
        // The run is over (its flags are already cleared); tell the operator
        // instead of taking the whole program down.
        OutboxFrame notice;
        notice.console = &console;
        notice.line = std::string("Обработка остановлена: ") + error.what();
        outbox.Post(std::move(notice));
    }
}

}  // namespace kalvero
