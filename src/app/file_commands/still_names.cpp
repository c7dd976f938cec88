#include "app/file_commands/still_names.h"

#include <cinttypes>
#include <cstdio>

namespace trivexa {

std::string StillPath(const std::string& folder, const std::string& recordingName,
                      std::int64_t position, Camera camera) {
    if (position < 0) return {};
    std::string title = StillBaseName(recordingName);
    if (title.empty()) return {};
    // The title ends with the letter of the camera whose file named it; the
    // other camera's picture gets the other letter.
    char& letter = title.back();
    if (letter == 'F' || letter == 'R') letter = camera == Camera::Front ? 'F' : 'R';

    char number[32];
    std::snprintf(number, sizeof number, "-%06" PRId64, position);
    std::string path = folder;
    if (!folder.empty() && folder.back() != '/') path += '/';
    return path + title + number + kStillExtension;
}

}  // namespace trivexa
