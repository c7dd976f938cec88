// Guarded reads of mapped views: a SIGBUS raised by a load from a view whose
// file shrank or whose medium went away becomes a failed read of the guard
// that covers the view (the contract is in mapping.h).
#include <setjmp.h>
#include <signal.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <mutex>

#include "platform/mapping.h"

namespace trivexa::platform {
namespace {

// One open guard; lives in ReadGuarded's frame, linked to the guard it nests in.
struct Guard {
    sigjmp_buf resume;
    const char* begin;
    const char* end;
    Guard* outer;
};

// The innermost guard of this thread. Initial-exec TLS so the signal handler
// reads it without calling into the dynamic loader.
constinit thread_local Guard* t_innermost __attribute__((tls_model("initial-exec"))) = nullptr;

std::atomic<std::uint64_t> g_faults{0};
struct sigaction g_previous {};
std::once_flag g_installed;

// Hands a fault that is not ours to the handler installed before, with the
// signal mask that handler asked for.
void Chain(int sig, siginfo_t* info, void* context) {
    const struct sigaction& prev = g_previous;
    const bool isFault = info != nullptr && info->si_code > 0;
    if ((prev.sa_flags & SA_SIGINFO) == 0 &&
        (prev.sa_handler == SIG_DFL || prev.sa_handler == SIG_IGN)) {
        // An ignored SIGBUS from a real fault would re-fault for ever; the
        // kernel itself kills in that case, so do the default for both.
        if (!isFault && prev.sa_handler == SIG_IGN) return;
        struct sigaction dfl {};
        dfl.sa_handler = SIG_DFL;
        sigemptyset(&dfl.sa_mask);
        sigaction(sig, &dfl, nullptr);
        // Returning re-runs the faulting load, which now takes the default
        // action (a core dump, as if no guard code existed). A signal sent by
        // another process is raised again instead.
        if (!isFault) raise(sig);
        return;
    }
    sigset_t mask = prev.sa_mask;
    if ((prev.sa_flags & SA_NODEFER) == 0) sigaddset(&mask, sig);
    sigset_t old;
    pthread_sigmask(SIG_BLOCK, &mask, &old);
    if (prev.sa_flags & SA_SIGINFO) {
        prev.sa_sigaction(sig, info, context);
    } else {
        prev.sa_handler(sig);
    }
    pthread_sigmask(SIG_SETMASK, &old, nullptr);
}

void OnBusError(int sig, siginfo_t* info, void* context) {
    const char* address = info != nullptr ? static_cast<const char*>(info->si_addr) : nullptr;
    if (info != nullptr && info->si_code > 0) {
        for (Guard* g = t_innermost; g != nullptr; g = g->outer) {
            if (address >= g->begin && address < g->end) {
                g_faults.fetch_add(1, std::memory_order_relaxed);
                t_innermost = g->outer;
                siglongjmp(g->resume, 1);
            }
        }
    }
    Chain(sig, info, context);
}

void Install() {
    struct sigaction action {};
    action.sa_sigaction = &OnBusError;
    sigemptyset(&action.sa_mask);
    if (sigaction(SIGBUS, nullptr, &g_previous) != 0) return;
    // A sanitizer that runs its handlers on an alternate stack keeps doing so.
    action.sa_flags = SA_SIGINFO | SA_NODEFER | (g_previous.sa_flags & SA_ONSTACK);
    sigaction(SIGBUS, &action, &g_previous);
}

}  // namespace

bool ReadGuarded(const MappedView& view, void (*body)(void*), void* context) {
    if (!view) return false;
    std::call_once(g_installed, Install);
    Guard guard;
    guard.begin = reinterpret_cast<const char*>(view.data());
    guard.end = guard.begin + view.size();
    guard.outer = t_innermost;
    // No signal mask is saved: the handler runs with SA_NODEFER, so the mask
    // it jumps back with is the one the body ran under.
    if (sigsetjmp(guard.resume, 0) != 0) {
        std::atomic_signal_fence(std::memory_order_seq_cst);
        return false;  // the handler has already unlinked this guard
    }
    t_innermost = &guard;
    std::atomic_signal_fence(std::memory_order_seq_cst);
    body(context);
    std::atomic_signal_fence(std::memory_order_seq_cst);
    t_innermost = guard.outer;
    return true;
}

std::uint64_t GuardedFaultCount() { return g_faults.load(std::memory_order_relaxed); }

bool MappedView::CopyOut(std::size_t offset, std::span<std::byte> out) const {
    if (offset > length_ || out.size() > length_ - offset) return false;
    if (out.empty()) return true;
    struct Copy {
        std::byte* to;
        const std::byte* from;
        std::size_t n;
        void operator()() const { std::memcpy(to, from, n); }
    } copy{out.data(), data() + offset, out.size()};
    return ReadGuarded(*this, copy);
}

std::optional<std::size_t> MappedView::FindByte(std::size_t from, std::size_t to,
                                                std::byte value) const {
    to = std::min(to, length_);
    if (from >= to) return to;
    struct Find {
        const std::byte* begin;
        std::size_t n;
        int value;
        const void* hit;
        void operator()() { hit = std::memchr(begin, value, n); }
    } find{data() + from, to - from, static_cast<int>(value), nullptr};
    if (!ReadGuarded(*this, find)) return std::nullopt;
    if (find.hit == nullptr) return to;
    return static_cast<std::size_t>(static_cast<const std::byte*>(find.hit) - data());
}

}  // namespace trivexa::platform
