#pragma once

#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

#include "platform/PdfWriter.h"

namespace quernel::pdf {

// Compresses page contents on a worker thread, in order, so that zlib runs while the next
// pages are drawn.
class TPageDeflater {
  public:
    explicit TPageDeflater(int level) : level_(level) {}
    ~TPageDeflater() {
        {
            const std::lock_guard lock(mutex_);
            stop_ = true;
        }
        changed_.notify_all();
        if (thread_.joinable()) thread_.join();
    }
    TPageDeflater(const TPageDeflater&) = delete;
    TPageDeflater& operator=(const TPageDeflater&) = delete;

    void Push(std::string_view content) {
        if (!thread_.joinable()) thread_ = std::thread([this] { Run(); });
        {
            const std::lock_guard lock(mutex_);
            input_.emplace_back(content);
        }
        changed_.notify_all();
    }

    // The next page pushed, compressed, once it is; an empty string when compression failed.
    std::string Pop() {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return !output_.empty(); });
        std::string page = std::move(output_.front());
        output_.pop_front();
        return page;
    }

  private:
    void Run() {
        std::unique_lock lock(mutex_);
        for (;;) {
            changed_.wait(lock, [this] { return stop_ || !input_.empty(); });
            if (stop_) return;
            const std::string content = std::move(input_.front());
            input_.pop_front();
            lock.unlock();
            std::string packed;
            try {
                packed = Deflate(content, level_);
            } catch (...) {
                packed.clear();
            }
            lock.lock();
            output_.push_back(std::move(packed));
            changed_.notify_all();
        }
    }

    const int level_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::string> input_;
    std::deque<std::string> output_;
    bool stop_ = false;
    std::thread thread_;
};

}  // namespace quernel::pdf
