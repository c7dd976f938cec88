#pragma once
// Cuts a file short at an exact moment of a running operation: right after
// the operation maps its `skip`+1-th view (any file), as another program, or
// a card pulled out of its slot, could do at any time. The operation keeps
// running on the real, now shorter file.

#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <string>

#include "platform/mapping.h"

namespace trivexa::test {

class CutWhenMapped {
public:
    CutWhenMapped(std::string path, std::uint64_t keepBytes, int skip = 0) {
        path_ = std::move(path);
        keep_ = keepBytes;
        skip_ = skip;
        cut_ = false;
        platform::test_hooks::SetAfterMapHook(&OnMap);
    }
    ~CutWhenMapped() { platform::test_hooks::SetAfterMapHook(nullptr); }
    CutWhenMapped(const CutWhenMapped&) = delete;
    CutWhenMapped& operator=(const CutWhenMapped&) = delete;

    // Whether the file has been cut.
    static bool Cut() { return cut_; }

private:
    static void OnMap(int, std::uint64_t, std::size_t) {
        if (cut_ || skip_-- > 0) return;
        cut_ = ::truncate(path_.c_str(), static_cast<off_t>(keep_)) == 0;
    }

    static inline std::string path_;
    static inline std::uint64_t keep_ = 0;
    static inline std::atomic<int> skip_{0};
    static inline std::atomic<bool> cut_{false};
};

}  // namespace trivexa::test
