#pragma once
// The skin pictures of the viewer by number: which drawing each number names,
// how many state frames it has and its design size. Windows ask for a picture
// by its number (the names below) and get our own drawing of it; the drawings
// live in src/resources/skin/ and are rendered at any layout scale by
// controls/skin_pictures.h.
//
// Pictures with four frames are state strips: 0 normal, 1 hot (and greyed),
// 2 pressed or checked or latched, 3 disabled. Transparent parts carry alpha.
//
// Callers: any window, on the UI thread (the table itself is constant data).

#include <span>

namespace trivexa {

struct SkinPictureInfo {
    int number;        // the picture's number
    const char* file;  // drawing under the resource prefix ":/skin/"
    int frames;        // 4 for a state strip, else 1
    int width;         // one frame, in design pixels (at layout scale 1)
    int height;
};

// Every picture, ordered by number.
std::span<const SkinPictureInfo> SkinPictureTable();
// The row of `number`, or nullptr when no picture has that number.
const SkinPictureInfo* FindSkinPicture(int number);

// The skin image set of the main window, in load order: the background, then
// the trip panel's marks and placeholders and the logos, the twelve quality
// badges (badge code 1 is the first), the digits and signs, the zoom-mode
// pictures and the map-unavailable picture.
std::span<const int> SkinImageSetOrder();
// The small pictures loaded beside the set (348, 331 to 345, 349): the position marker, the
// fifteen event icons (in the map's event icon order), the start marker.
std::span<const int> SkinEventIconOrder();

namespace skin {

// Control buttons of the main window (32 × 32, state strips).
inline constexpr int kToStart = 154;
inline constexpr int kPrevious = 144;
inline constexpr int kPlay = 148;
inline constexpr int kPause = 147;
inline constexpr int kSlower = 142;
inline constexpr int kFaster = 139;
inline constexpr int kNext = 145;
inline constexpr int kStill = 153;
inline constexpr int kJoin = 150;
inline constexpr int kZoom = 200;
inline constexpr int kMirror = 362;
inline constexpr int kMap = 357;
inline constexpr int kOpenSource = 146;
inline constexpr int kDelete = 138;
inline constexpr int kSettings = 151;
inline constexpr int kCsv = 137;
inline constexpr int kSwapScreens = 356;

// Caption buttons of the main window (18 high, state strips).
inline constexpr int kCaptionClose = 155;     // 46 wide
inline constexpr int kCaptionMaximise = 157;  // 26 wide, also restore
inline constexpr int kCaptionMinimise = 156;  // 26 wide

// The skinned dialog's close button (13 × 12, state strip).
inline constexpr int kDialogClose = 352;
// Check boxes and filter toggles (12 × 12, state strip); the source dialog's
// mode buttons (12 × 12 round, state strip).
inline constexpr int kCheckBox = 217;
inline constexpr int kModeButton = 327;
// A push button with a text drawn over it (100 × 30, state strip; stretched to
// the button): the message box's buttons.
inline constexpr int kPushButton = 1000;

// Sliders: left bar, right bar, thumb, thumb pressed.
inline constexpr int kSeekLeftBar = 174;
inline constexpr int kSeekRightBar = 159;
inline constexpr int kSeekThumb = 160;
inline constexpr int kSeekThumbPressed = 161;
inline constexpr int kVolumeLeftBar = 167;
inline constexpr int kVolumeRightBar = 168;
inline constexpr int kVolumeThumb = 169;
inline constexpr int kVolumeThumbPressed = 170;

// The main window's background, drawn in nine cells.
inline constexpr int kWindowBackground = 129;
// Application icon (window icon 128 and the skin set's icon 171 are one drawing).
inline constexpr int kAppIcon = 171;
inline constexpr int kWindowIcon = 128;

// Trip panel.
inline constexpr int kMicSound = 365;  // mark 'R'
inline constexpr int kMicPlain = 366;  // mark 'r'
inline constexpr int kMicOff = 375;    // any other mark
inline constexpr int kGpsReception = 376;
inline constexpr int kDatePlaceholder = 377;
inline constexpr int kAccelPlaceholder = 378;
inline constexpr int kSpeedPlaceholder = 320;
inline constexpr int kVoltagePlaceholder = 307;
inline constexpr int kPanelBackground = 309;
// Quality badges by badge code 1..12 (all 74 × 22).
inline constexpr int kBadges[12] = {198, 199, 196, 197, 192, 195, 358, 359, 360, 361, 363, 364};
// Digits 0..9 and the signs (11 × 19; km/h 30 × 19).
inline constexpr int kDigits[10] = {201, 207, 206, 218, 202, 209, 210, 208, 203, 204};
inline constexpr int kSignSlash = 205;
inline constexpr int kSignColon = 213;
inline constexpr int kSignPoint = 211;
inline constexpr int kSignMinus = 350;
inline constexpr int kSignG = 219;
inline constexpr int kSignKmh = 351;
inline constexpr int kSignV = 212;

// Logo window: without a known model, PL21-XQR, PL35-XQR.
inline constexpr int kLogo = 321;
inline constexpr int kLogoPl21 = 325;
inline constexpr int kLogoPl35 = 312;
// Pattern of the frame drawn around the logo.
inline constexpr int kFramePattern = 313;
// Map host without a map.
inline constexpr int kMapUnavailable = 367;

// Zoom mode: the browser panel's notice backdrop and the zoom in/out marks.
inline constexpr int kZoomNotice = 190;
inline constexpr int kZoomIn = 214;
inline constexpr int kZoomOut = 215;
inline constexpr int kZoomCursor = 191;

// Acceleration graph: legends of scale modes 0..3 (all 96 × 143) and the
// marker of category 10.
inline constexpr int kGraphLegends[4] = {163, 162, 188, 189};
inline constexpr int kGraphSteeringMark = 176;

// Folder tree category badge (39 × 26): the base, then one layer per category.
inline constexpr int kCategoryBase = 319;
inline constexpr int kCategoryManual = 316;
inline constexpr int kCategoryShock = 315;
inline constexpr int kCategoryParkingShock = 317;
inline constexpr int kCategoryParking = 318;
inline constexpr int kCategorySpeedCamera = 346;
inline constexpr int kCategoryApproaching = 369;

// Event icons (16 × 16) in the map's event icon order 0..14, and two markers.
inline constexpr int kEventIcons[15] = {331, 332, 333, 334, 335, 336, 337, 338,
                                        339, 340, 341, 342, 343, 344, 345};
inline constexpr int kPositionMarker = 348;
inline constexpr int kStartMarker = 349;

}  // namespace skin

}  // namespace trivexa
