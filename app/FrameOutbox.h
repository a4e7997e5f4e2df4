#pragma once
#include <cstddef>
#include <deque>
#include <mutex>
#include <string>

#include <opencv2/core.hpp>

class QLabel;
class QTextEdit;

namespace kalvero {

// One frame on its way from a worker run to the window: the run's own copy
// of the finished RGB image and its console line, and the widgets they go to.
struct OutboxFrame {
    QLabel* monitor = nullptr;
    QTextEdit* console = nullptr;
    cv::Mat rgbImage;  // empty: only the line is to be shown
    std::string line;  // empty: only the image is to be shown
};

// Hand-over point between a worker run (producer) and the GUI thread
// (consumer). The worker only appends, under a short lock, and never waits
// for the GUI; the GUI takes everything that is waiting, in posting order.
// Kept free of Qt so that both sides synchronise through the standard
// library alone.
//
// Bounded in pictures: only the newest image is kept waiting (the monitor
// can show only that one). Posting an image releases the image of every
// frame still waiting; their lines stay, so no console line and no notice is
// ever dropped, and lines keep their posting order.
class FrameOutbox {
public:
    void Post(OutboxFrame frame);
    std::deque<OutboxFrame> TakeAll();
    // Entries waiting (lines and images alike).
    std::size_t Pending() const;
    // Images waiting: 0 or 1.
    std::size_t PendingImages() const;
    // Images posted, and images released unshown, since construction.
    std::size_t ImagesPosted() const;
    std::size_t ImagesDropped() const;
    void Clear();

private:
    mutable std::mutex mutex_;
    std::deque<OutboxFrame> frames_;
    bool imageWaiting_ = false;
    std::size_t imagesPosted_ = 0;
    std::size_t imagesDropped_ = 0;
};

}  // namespace kalvero
