#pragma once
// Decoded pictures and the bounded pool they circulate in. The decoder thread
// fills a free sample, the scheduler thread hands it to the display, and the
// display keeps the last one for repaint and read-back; when every holder has
// let go the sample returns to the pool. After warm-up no picture memory is
// allocated per frame.

#include <array>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

struct AVFrame;

namespace trivexa {

// One picture as planar YUV 4:2:0 (BT.601, limited range): plane 0 is
// width x height luma, planes 1 and 2 are ceil(w/2) x ceil(h/2), each row
// `stride` bytes apart. The planes are either the decoder's own picture,
// referenced without a copy, or the sample's own memory (pictures that had
// to be converted).
struct VideoSample {
    VideoSample();
    ~VideoSample();
    VideoSample(const VideoSample&) = delete;
    VideoSample& operator=(const VideoSample&) = delete;

    int width = 0;
    int height = 0;
    std::int64_t mediaTime = 0;  // presentation time, 100 ns units
    std::int64_t duration = 0;   // 100 ns units
    std::array<const std::uint8_t*, 3> data{};
    std::array<int, 3> stride{};

    int ChromaWidth() const { return (width + 1) / 2; }
    int ChromaHeight() const { return (height + 1) / 2; }
    int PlaneWidth(int plane) const { return plane == 0 ? width : ChromaWidth(); }
    int PlaneHeight(int plane) const { return plane == 0 ? height : ChromaHeight(); }
    const std::uint8_t* Row(int plane, int y) const {
        return data[plane] + static_cast<std::ptrdiff_t>(y) * stride[plane];
    }

    // Points the sample at its own tightly packed planes for a w x h picture
    // (memory reused when the size is unchanged) and returns them to fill.
    std::array<std::uint8_t*, 3> UseOwnPlanes(int w, int h);
    // Shares a decoded YUV 4:2:0 picture (an AVFrame) without copying it.
    // False when the reference cannot be taken.
    bool ReferenceDecoded(const AVFrame* frame);
    // Lets go of a referenced decoder picture (the pool calls it).
    void ReleaseDecoded();

private:
    std::array<std::vector<std::uint8_t>, 3> own_;
    AVFrame* decoded_ = nullptr;  // allocated once per sample
};

class SamplePool : public std::enable_shared_from_this<SamplePool> {
public:
    // A pool of at most `capacity` samples. Always held by shared_ptr: samples
    // handed out keep the pool alive until they are returned.
    static std::shared_ptr<SamplePool> Create(std::size_t capacity);

    // A free sample, or nullptr when none is free now. Any thread.
    std::shared_ptr<VideoSample> TryAcquire();
    // Waits up to `timeoutMs` for a free sample; nullptr on time-out.
    std::shared_ptr<VideoSample> Acquire(int timeoutMs);

    std::size_t Capacity() const { return capacity_; }
    // Samples allocated so far (never more than the capacity).
    std::size_t Allocated() const;

private:
    explicit SamplePool(std::size_t capacity) : capacity_(capacity) {}
    std::shared_ptr<VideoSample> Wrap(std::unique_ptr<VideoSample> s);
    void Return(VideoSample* s);

    const std::size_t capacity_;
    mutable std::mutex mutex_;
    std::condition_variable freed_;
    std::vector<std::unique_ptr<VideoSample>> free_;
    std::size_t allocated_ = 0;
};

}  // namespace trivexa
