#include "browser/model/source_choice.h"

#include "app/core/settings_file.h"
#include "platform/files.h"
#include "platform/volumes.h"
#include "recordings/recording_name.h"

namespace trivexa {

SourceKind StartingSourceMode(std::string_view select) {
    if (select == settings::kFolder) return SourceKind::Folder;
    if (select == settings::kFile) return SourceKind::File;
    return SourceKind::SdCard;
}

bool SourceOkEnabled(SourceKind mode, bool driveSelected, std::string_view folder,
                     std::string_view file) {
    switch (mode) {
        case SourceKind::SdCard:
            return driveSelected;
        case SourceKind::Folder:
            return !folder.empty();
        case SourceKind::File:
            return !file.empty();
        default:
            return false;
    }
}

std::optional<SourceSetting> SettingForChoice(SourceKind mode, std::string_view drive,
                                              std::string_view folder, std::string_view file) {
    switch (mode) {
        case SourceKind::SdCard:
            return SourceSetting{settings::kSd, std::string(drive)};
        case SourceKind::Folder:
            return SourceSetting{settings::kFolder, std::string(folder)};
        case SourceKind::File:
            return SourceSetting{settings::kFile, std::string(file)};
        default:
            return std::nullopt;
    }
}

bool RememberChoice(const SourceSetting& s) {
    const bool select = WriteSetting(settings::kSource, settings::kSelect, s.key);
    const bool value = WriteSetting(settings::kSource, s.key, s.value);
    return select && value;
}

std::vector<std::string> RemovableDriveTexts() {
    std::vector<std::string> texts;
    for (const auto& v : platform::RemovableVolumes()) texts.push_back(v.mountPoint);
    return texts;
}

ChosenSourceCheck CheckChosenSource(SourceKind mode, std::string& path) {
    if (path.empty() || !platform::PathExists(path)) return ChosenSourceCheck::kNothing;
    if (mode == SourceKind::File && !IsRecordingFileName(path, CameraFilter::Any))
        return ChosenSourceCheck::kNotRecording;
    // A root such as "/" keeps its only separator.
    if (path.size() > 1 && (path.back() == '/' || path.back() == '\\')) path.pop_back();
    return ChosenSourceCheck::kOpen;
}

}  // namespace trivexa
