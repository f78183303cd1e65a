#include "mask/smoothing_helper.h"

#include <new>
#include <system_error>

namespace fw {

SmoothingHelper::~SmoothingHelper() {
    Stop();
}

bool SmoothingHelper::Submit(FlatBorderLines& lines, size_t& ticket) {
    std::unique_lock lock(mutex_);
    if (failure_) return false;  // the thread is gone
    if (!started_) {
        try {
            thread_ = std::thread([this] { Run(); });
        } catch (const std::system_error&) {
            return false;
        }
        started_ = true;
    }
    jobs_.emplace_back();
    jobs_.back().lines.Swap(lines);
    ticket = jobs_.size() - 1;
    backlog_ += jobs_.back().lines.Points();
    lock.unlock();
    wake_.notify_one();
    return true;
}

size_t SmoothingHelper::Backlog() {
    return backlog_.load(std::memory_order_relaxed);
}

void SmoothingHelper::Finish() {
    std::unique_lock lock(mutex_);
    done_.wait(lock, [this] { return next_ == jobs_.size() && backlog_ == 0; });
    if (failure_) std::rethrow_exception(failure_);
}

void SmoothingHelper::Stop() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_one();
    if (thread_.joinable()) thread_.join();
}

void SmoothingHelper::Run() {
    FlatBorderSmoother smoother;
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return stopping_ || next_ < jobs_.size(); });
        if (stopping_) return;  // after Finish, or the caller gave up
        Job& job = jobs_[next_++];
        const size_t points = job.lines.Points();
        lock.unlock();
        try {
            Batch& out = job.result;
            out.lengths.reserve(job.lines.Size());
            out.first = xy_.Size() / 2;
            for (size_t k = 0; k < job.lines.Size(); ++k) {
                smoother.Smooth(job.lines, k, tolerance_, window_);
                const std::vector<FlatBorderPoint>& result = smoother.Result();
                const size_t least = job.lines.lines[k].closed ? 4 : 2;  // no sliver, no lone point
                if (result.size() < least) {
                    out.lengths.push_back(0);
                    continue;
                }
                out.lengths.push_back(static_cast<uint32_t>(result.size()));
                float* xy = xy_.Extend(2 * result.size());
                for (size_t i = 0; i < result.size(); ++i) {
                    xy[2 * i] = result[i].x;
                    xy[2 * i + 1] = result[i].y;
                }
                out.points += result.size();
            }
            FlatBorderLines().Swap(job.lines);
        } catch (const std::bad_alloc&) {
            lock.lock();
            failure_ = std::current_exception();
            next_ = jobs_.size();  // the rest is dropped: the caller fails as a whole
            backlog_ = 0;
            done_.notify_all();
            return;
        }
        lock.lock();
        backlog_ -= points;
        if (next_ == jobs_.size()) done_.notify_all();
    }
}

}  // namespace fw
