#include "app/WindowVideoThread.h"

#include <exception>
#include <string>
#include <utility>

#include "app/QtFrameSink.h"

namespace kalvero {

void WindowVideoThread::run(QLabel& monitor, QTextEdit& console, Options& options) {
    QtFrameSink sink(monitor, console, outbox);
    try {
        Run(sink, LoadRunPath(options));
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
