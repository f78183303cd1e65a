// SmoothingHelper: smooths batches of border lines on a second thread while the caller goes
// on tracing, so a noisy selection keeps two cores busy. Batches are smoothed in the order
// they are handed over; each result waits under its ticket until the caller collects it.
//
//     SmoothingHelper helper(tolerance, window);
//     size_t ticket;
//     if (helper.Submit(lines, ticket)) ... else smooth them here;
//     helper.Finish();  // rethrows std::bad_alloc met on the thread
//     helper.Output(ticket);
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

#include "mask/flat_border_smoothing.h"
#include "mask/growing_array.h"

namespace fw {

class SmoothingHelper {
  public:
    SmoothingHelper(float tolerance, int32_t window) : tolerance_(tolerance), window_(window) {}
    SmoothingHelper(const SmoothingHelper&) = delete;
    SmoothingHelper& operator=(const SmoothingHelper&) = delete;
    ~SmoothingHelper();

    // Takes the lines over (`lines` is left empty). False when no thread can be had: the
    // lines stay with the caller.
    bool Submit(FlatBorderLines& lines, size_t& ticket);
    bool Started() {
        std::lock_guard lock(mutex_);
        return started_;
    }
    // Points handed over and not smoothed yet.
    size_t Backlog();
    // Waits for every line handed over.
    void Finish();
    // After Finish: where the ticket's smoothed lines are in Points(), one after another, and
    // the points of each line: 0 for a closed line shrunk to a sliver and for a single point,
    // which are not exported.
    struct Batch {
        uint64_t first = 0, points = 0;
        std::vector<uint32_t> lengths;
    };
    const Batch& Result(size_t ticket) const { return jobs_[ticket].result; }
    // After Finish: x, y pairs of every line smoothed, in one block (given back as a whole).
    const float* Points() const { return xy_.Data(); }

  private:
    struct Job {
        FlatBorderLines lines;
        Batch result;
    };
    void Run();
    void Stop();

    const float tolerance_;
    const int32_t window_;
    std::deque<Job> jobs_;    // stay where they are while more are added
    GrowingArray<float> xy_;  // written by the thread only
    size_t next_ = 0;         // the first job the thread has not taken
    std::atomic<size_t> backlog_ = 0;
    bool stopping_ = false, started_ = false;
    std::exception_ptr failure_;
    std::mutex mutex_;
    std::condition_variable wake_, done_;
    std::thread thread_;
};

}  // namespace fw
