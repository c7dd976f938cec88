#pragma once
// The table of user-visible texts. Every caption, tooltip, column title, CSV
// header field and message comes from here by id; callers use the id of their
// role even where two ids share one text.
//
// Thread safety: the table is read-only. The language index is set once by the
// main window's initialisation (UI thread) before any other thread starts.

#include <string>

namespace trivexa {

inline constexpr int kUiStringCount = 186;       // ids 0..185 hold texts
inline constexpr int kUiSlotsPerLanguage = 260;  // slots 186..259: see below
// Slots from 186 hold the detail lines of the error boxes (the reason under
// the message, in the language of the box); their ids are named where they
// are used (app/file_commands/file_tasks.h). The other slots stay empty.
inline constexpr int kUiLanguageCount = 2;

// Ids with a role in code beyond a plain caption.
enum UiStringId : int {
    kUiCountFormat = 33,    // "%d個": always formatted with one integer
    kUiConfirmTitle = 104,  // the usual title of confirmation boxes
    kUiFontFace = 112,      // face name of the fonts the windows create
    kUiInstallCodec = 113,  // no decoder for the stream
    // A join's source is damaged (shown under UI string 92 with its path).
    kUiJoinSourceDamaged = 191,
    // A join removed an earlier file under an output name it wrote nothing
    // under (shown with the path under UI string 44).
    kUiJoinRemovedOutput = 192,
};

// Text of `id` in the column `language`; "" for an empty slot or an id outside
// the table (callers never pass one).
const char* UiStringTable(int language, int id);

// The process-wide language index, 0 until InitUiLanguage() runs.
int UiLanguage();
void SetUiLanguage(int language);

// Sets the language index to 1 when the user's locale is English (United
// States); otherwise leaves it unchanged. Called once at start-up.
void InitUiLanguage();

// Text of `id` in the current language.
const char* UiString(int id);

// UI string 33 formatted with `count` (the only text that is a format).
std::string UiCountText(int count);

}  // namespace trivexa
