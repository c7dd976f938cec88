#include "app/file_commands/repaired_copies.h"

#include <chrono>
#include <filesystem>
#include <thread>

#include "container/integrity.h"
#include "platform/files.h"
#include "platform/output_file.h"
#include "recordings/drive_utils.h"

namespace trivexa {
namespace {

constexpr auto kPollInterval = std::chrono::milliseconds(200);
// A folder that is still there after this long is not going away by waiting.
constexpr int kPollLimit = 50;

std::string Join(const std::string& folder, const std::string& name) {
    return folder.empty() || folder.back() == '/' ? folder + name : folder + "/" + name;
}

// `name`, or "<stem> (k)<ext>" for the first k from 2 that is free in `folder`.
std::string FreeName(const std::string& folder, const std::string& name) {
    if (!platform::PathExists(Join(folder, name))) return name;
    const std::size_t dot = name.rfind('.');
    const std::string stem = dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
    const std::string ext = stem.size() == name.size() ? "" : name.substr(dot);
    for (int k = 2;; ++k) {
        std::string candidate = stem + " (" + std::to_string(k) + ")" + ext;
        if (!platform::PathExists(Join(folder, candidate))) return candidate;
    }
}

bool CopyThenRemove(const std::string& from, const std::string& to) {
    platform::ReadDescriptor source;
    if (!source.Open(from)) return false;
    platform::OutputFile out;
    if (!out.Create(to)) return false;
    const std::uint64_t size = source.Size();
    if (!out.Reserve(size)) return false;
    std::uint64_t done = 0;
    while (done < size) {
        const std::int64_t n = out.CopyFrom(source.Get(), done, size - done);
        if (n <= 0) return false;
        done += static_cast<std::uint64_t>(n);
    }
    if (!out.Commit(/*replace=*/false)) return false;
    std::error_code ec;
    std::filesystem::remove(from, ec);
    return true;
}

}  // namespace

std::string RepairedCopiesFolder() { return RepairFolder().string(); }

bool HasRepairedCopies(const std::string& folder) {
    std::vector<platform::DirEntry> entries;
    if (folder.empty() || !platform::ListDirectory(folder, entries)) return false;
    for (const platform::DirEntry& e : entries)
        if (!e.isFolder && !e.isSymlink && !e.name.empty() && e.name.front() != '.') return true;
    return false;
}

RepairedMoveReport MoveRepairedCopies(const std::string& destination, const std::string& folder) {
    RepairedMoveReport report;
    std::vector<platform::DirEntry> entries;
    if (!platform::ListDirectory(folder, entries)) return report;
    for (const platform::DirEntry& e : entries) {
        // Only the copies: not the repair's own records, unfinished writes
        // (hidden names) or anything that is not a plain file.
        if (e.isFolder || e.isSymlink || e.name.empty() || e.name.front() == '.') continue;
        const std::string from = Join(folder, e.name);
        bool moved = false;
        // A name taken between the check and the rename is simply tried again.
        for (int attempt = 0; attempt < 3 && !moved; ++attempt) {
            const std::string to = Join(destination, FreeName(destination, e.name));
            moved = platform::RenameNoReplace(from, to) || CopyThenRemove(from, to);
        }
        if (moved) {
            ++report.moved;
        } else {
            report.failed.push_back(e.name);
        }
    }
    return report;
}

bool DeleteRepairedCopies(const std::string& folder) {
    if (!platform::PathExists(folder)) return true;
    if (!ShellDelete(folder)) {
        std::error_code ec;
        std::filesystem::remove_all(folder, ec);
    }
    for (int i = 0; i < kPollLimit && platform::PathExists(folder); ++i)
        std::this_thread::sleep_for(kPollInterval);
    return !platform::PathExists(folder);
}

RepairedCopiesOutcome OfferRepairedCopies(RepairedCopiesOwner& owner, const std::string& folder) {
    if (!HasRepairedCopies(folder)) return RepairedCopiesOutcome::kNone;
    RepairedCopiesOutcome outcome = RepairedCopiesOutcome::kDeleted;
    if (owner.AskKeepRepairedCopies()) {
        const std::string destination = owner.ChooseRepairFolder();
        if (!destination.empty()) {
            const RepairedMoveReport moved = MoveRepairedCopies(destination, folder);
            if (moved.Ok()) {
                owner.RememberRepairFolder(destination);
                outcome = RepairedCopiesOutcome::kMoved;
            } else {
                outcome = RepairedCopiesOutcome::kPartly;
            }
        }
    }
    if (!DeleteRepairedCopies(folder)) return RepairedCopiesOutcome::kStuck;
    return outcome;
}

}  // namespace trivexa
