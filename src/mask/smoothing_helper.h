// SmoothingHelper: smooths long border lines on a second thread while the caller goes on
// tracing, so a noisy selection keeps two cores busy. Lines are smoothed in the order they
// are handed over; each result waits under its ticket until the caller collects it.
//
//     SmoothingHelper helper(tolerance, window);
//     size_t ticket;
//     if (helper.Submit(flatLine, ticket)) ... else smooth it here;
//     helper.Finish();  // rethrows std::bad_alloc met on the thread
//     helper.Output(ticket);
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

#include "mask/flat_border_smoothing.h"

namespace fw {

class SmoothingHelper {
  public:
    SmoothingHelper(float tolerance, int32_t window) : tolerance_(tolerance), window_(window) {}
    SmoothingHelper(const SmoothingHelper&) = delete;
    SmoothingHelper& operator=(const SmoothingHelper&) = delete;
    ~SmoothingHelper();

    // Takes the line over (it is swapped with an empty one). False when no thread can be
    // had: the line stays with the caller.
    bool Submit(FlatBorderLine& line, size_t& ticket);
    // Points handed over and not smoothed yet.
    size_t Backlog();
    // Waits for every line handed over.
    void Finish();
    // x, y pairs of the ticket's smoothed line; empty for a closed line shrunk to a sliver
    // and for a single point, which are not exported.
    const std::vector<float>& Output(size_t ticket) const { return jobs_[ticket].output; }

  private:
    struct Job {
        FlatBorderLine line;
        std::vector<float> output;
    };
    void Run();
    void Stop();

    const float tolerance_;
    const int32_t window_;
    std::deque<Job> jobs_;  // stay where they are while more are added
    size_t next_ = 0;       // the first job the thread has not taken
    size_t backlog_ = 0;
    bool stopping_ = false, started_ = false;
    std::exception_ptr failure_;
    std::mutex mutex_;
    std::condition_variable wake_, done_;
    std::thread thread_;
};

}  // namespace fw
