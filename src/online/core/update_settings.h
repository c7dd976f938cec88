#pragma once
// Where the update check looks, as kept in the settings file.
//
// Section [UPDATE] of Default_Folder.ini; every key is optional:
//   CHECK=off                  no update check at start-up (any other value,
//                              or none, checks)
//   SERVER=http://host[:port]  the update server (http or https; default
//                              http://update.trivexa.example)
//   FIRMWARE_PL21_VERSION, FIRMWARE_PL21_PAGE   paths of the PL21-XQR firmware
//   FIRMWARE_PL35_VERSION, FIRMWARE_PL35_PAGE   paths of the PL35-XQR firmware
//   VIEWER_VERSION, VIEWER_PAGE                 paths of the viewer
//   GPS_VERSION, GPS_PAGE                       paths of the GPS data
// A *_VERSION key names the version file, a *_PAGE key the download page,
// both as paths on the server ("/gps_data/drgps_01.txt"). A missing or empty
// value, or a server that is no http or https address, keeps the default.
//
// Read on the UI thread when CInetConnectionAsync is made.

#include <string_view>

#include "online/core/update_check.h"

namespace trivexa::online {

namespace update_settings {
inline constexpr const char* kSection = "UPDATE";
inline constexpr const char* kCheck = "CHECK";
inline constexpr const char* kServer = "SERVER";
inline constexpr const char* kFirmwarePl21Version = "FIRMWARE_PL21_VERSION";
inline constexpr const char* kFirmwarePl21Page = "FIRMWARE_PL21_PAGE";
inline constexpr const char* kFirmwarePl35Version = "FIRMWARE_PL35_VERSION";
inline constexpr const char* kFirmwarePl35Page = "FIRMWARE_PL35_PAGE";
inline constexpr const char* kViewerVersion = "VIEWER_VERSION";
inline constexpr const char* kViewerPage = "VIEWER_PAGE";
inline constexpr const char* kGpsVersion = "GPS_VERSION";
inline constexpr const char* kGpsPage = "GPS_PAGE";
}  // namespace update_settings

// The endpoints from the settings file, defaults where it says nothing usable.
UpdateEndpoints ReadUpdateEndpoints();

// False only when CHECK is "off" (any letter case).
bool ReadUpdateCheckEnabled();

// The server address as the endpoints use it: `text` without blanks around
// it and without trailing '/', or "" when it is no http:// or https:// address
// with a host.
std::string NormalizedServerAddress(std::string_view text);

}  // namespace trivexa::online
