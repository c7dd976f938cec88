#include "container/mapped_file.h"

namespace trivexa {

bool MappedFile::Open(const std::filesystem::path& path) {
    Close();
    if (!file_.Open(path)) return false;
    path_ = path;
    return true;
}

void MappedFile::Close() {
    file_.Close();
    path_.clear();
}

MappedWindow MappedFile::MapWindow(std::uint64_t offset, std::uint64_t length) const {
    const std::uint64_t size = file_.Size();
    if (!file_.IsOpen() || length == 0 || offset >= size) return {};
    const std::uint64_t skip = offset % granularity_;
    const std::uint64_t start = offset - skip;
    std::uint64_t span = length > size - offset ? size - offset : length;
    span += skip;
    if (span > SIZE_MAX) return {};
    platform::MappedView view = file_.Map(start, static_cast<std::size_t>(span));
    if (!view) return {};
    return MappedWindow(std::move(view), static_cast<std::size_t>(skip));
}

std::vector<std::byte> MappedFile::ReadWindow(std::uint64_t offset, std::uint64_t length) const {
    std::vector<std::byte> bytes;
    ReadWindow(offset, length, bytes);
    return bytes;
}

bool MappedFile::ReadWindow(std::uint64_t offset, std::uint64_t length,
                            std::vector<std::byte>& out) const {
    out.clear();
    const std::uint64_t size = file_.Size();
    if (!file_.IsOpen() || length == 0 || offset >= size) return false;
    const std::uint64_t span = length > size - offset ? size - offset : length;
    if (span > SIZE_MAX) return false;
    out.resize(static_cast<std::size_t>(span));
    if (file_.ReadAt(offset, out) != static_cast<std::int64_t>(out.size())) {
        out.clear();
        return false;
    }
    return true;
}

}  // namespace trivexa
