#pragma once
// The timing every benchmark shares: runs timed on the steady clock, their
// median and minimum, and the ratio against a reference measured in the same
// run. Header-only; each benchmark prints its own lines.

#include <time.h>

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <vector>

namespace trivexa::bench {

using Clock = std::chrono::steady_clock;

inline double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }
inline double Milliseconds(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

// CPU time of the calling thread in ms: what a step costs the UI thread,
// whatever else the shared machine runs meanwhile.
inline double ThreadCpuMs() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

// Seconds one call of `fn` takes.
template <typename Fn>
double TimeSeconds(Fn&& fn) {
    const auto start = Clock::now();
    fn();
    return Seconds(Clock::now() - start);
}

// The times (or any other measurements) of the repeated runs of one contender.
class Samples {
public:
    void Add(double value) { values_.push_back(value); }
    std::size_t Count() const { return values_.size(); }
    bool Empty() const { return values_.empty(); }

    // The smallest value: the run least disturbed by the rest of the machine.
    double Minimum() const {
        return values_.empty() ? 0.0 : *std::min_element(values_.begin(), values_.end());
    }
    double Maximum() const {
        return values_.empty() ? 0.0 : *std::max_element(values_.begin(), values_.end());
    }
    // The middle value of the sorted runs (the upper middle of an even count).
    double Median() const { return Percentile(50); }
    // The value below which `percent` of the sorted runs lie (nearest rank,
    // rounded down): 50 is the median, 95 the 95th percentile.
    double Percentile(int percent) const {
        if (values_.empty()) return 0.0;
        const std::vector<double> v = Sorted();
        const std::size_t at =
            std::min(v.size() - 1, v.size() * static_cast<std::size_t>(percent) / 100);
        return v[at];
    }
    std::vector<double> Sorted() const {
        std::vector<double> v = values_;
        std::sort(v.begin(), v.end());
        return v;
    }

private:
    std::vector<double> values_;
};

// Ratios against a reference measured in the same run, in the same unit of
// time. The speed ratio is reference / ours (above 1: ours is faster, as for
// throughput); the cost ratio is ours / reference (above 1: ours takes longer).
inline double SpeedRatio(double referenceTime, double ourTime) {
    return ourTime > 0.0 ? referenceTime / ourTime : 0.0;
}
inline double CostRatio(double ourTime, double referenceTime) {
    return referenceTime > 0.0 ? ourTime / referenceTime : 0.0;
}

}  // namespace trivexa::bench
