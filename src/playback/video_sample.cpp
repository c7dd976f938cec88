#include "playback/video_sample.h"

#include <chrono>

extern "C" {
#include <libavutil/frame.h>
}

namespace trivexa {

VideoSample::VideoSample() : decoded_(av_frame_alloc()) {}

VideoSample::~VideoSample() { av_frame_free(&decoded_); }

std::array<std::uint8_t*, 3> VideoSample::UseOwnPlanes(int w, int h) {
    ReleaseDecoded();
    width = w;
    height = h;
    std::array<std::uint8_t*, 3> out{};
    for (int p = 0; p < 3; ++p) {
        own_[p].resize(static_cast<std::size_t>(PlaneWidth(p)) *
                       static_cast<std::size_t>(PlaneHeight(p)));
        out[p] = own_[p].data();
        data[p] = own_[p].data();
        stride[p] = PlaneWidth(p);
    }
    return out;
}

bool VideoSample::ReferenceDecoded(const AVFrame* frame) {
    ReleaseDecoded();
    if (decoded_ == nullptr || av_frame_ref(decoded_, frame) < 0) return false;
    width = frame->width;
    height = frame->height;
    for (int p = 0; p < 3; ++p) {
        data[p] = decoded_->data[p];
        stride[p] = decoded_->linesize[p];
    }
    return true;
}

void VideoSample::ReleaseDecoded() {
    if (decoded_ != nullptr && decoded_->buf[0] != nullptr) av_frame_unref(decoded_);
}

std::shared_ptr<SamplePool> SamplePool::Create(std::size_t capacity) {
    return std::shared_ptr<SamplePool>(new SamplePool(capacity == 0 ? 1 : capacity));
}

std::size_t SamplePool::Allocated() const {
    std::lock_guard lock(mutex_);
    return allocated_;
}

std::shared_ptr<VideoSample> SamplePool::Wrap(std::unique_ptr<VideoSample> s) {
    // The deleter holds the pool so a sample outliving its player still has a home.
    auto self = shared_from_this();
    return std::shared_ptr<VideoSample>(s.release(), [self](VideoSample* p) { self->Return(p); });
}

void SamplePool::Return(VideoSample* s) {
    // The decoder's picture goes back to the decoder now, not at reuse.
    s->ReleaseDecoded();
    {
        std::lock_guard lock(mutex_);
        free_.emplace_back(s);
    }
    freed_.notify_one();
}

std::shared_ptr<VideoSample> SamplePool::TryAcquire() {
    std::unique_ptr<VideoSample> s;
    {
        std::lock_guard lock(mutex_);
        if (!free_.empty()) {
            s = std::move(free_.back());
            free_.pop_back();
        } else if (allocated_ < capacity_) {
            ++allocated_;
            s = std::make_unique<VideoSample>();
        } else {
            return nullptr;
        }
    }
    return Wrap(std::move(s));
}

std::shared_ptr<VideoSample> SamplePool::Acquire(int timeoutMs) {
    if (auto s = TryAcquire()) return s;
    std::unique_lock lock(mutex_);
    if (!freed_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                         [this] { return !free_.empty(); }))
        return nullptr;
    auto s = std::move(free_.back());
    free_.pop_back();
    lock.unlock();
    return Wrap(std::move(s));
}

}  // namespace trivexa
