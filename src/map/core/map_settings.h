#pragma once
// Where the map's pictures come from and how the map module identifies
// itself: the tile server (a setting), its credit, the address the page
// loads its map library from, the address the reachability test asks, the
// User-Agent and the folder of the web profile.
//
// Section [MAP] of Default_Folder.ini; both keys are optional:
//   TILE_URL=https://host/{z}/{x}/{y}.png   the tile address template
//                                           (http or https, with {z}, {x}
//                                           and {y}; {s} picks a sub-domain)
//   TILE_ATTRIBUTION=text                   the credit shown on the map
// Without a usable TILE_URL the map uses OpenStreetMap's standard tile
// server and shows its credit; a TILE_URL without TILE_ATTRIBUTION shows no
// credit unless it is the standard server's.
//
// Read on the UI thread when the map is created.

#include <string>
#include <string_view>

namespace trivexa::map {

namespace map_settings {
inline constexpr const char* kSection = "MAP";
inline constexpr const char* kTileUrl = "TILE_URL";
inline constexpr const char* kTileAttribution = "TILE_ATTRIBUTION";
}  // namespace map_settings

inline constexpr std::string_view kDefaultTileUrl =
    "https://tile.openstreetmap.org/{z}/{x}/{y}.png";
inline constexpr std::string_view kDefaultAttribution = "\u00a9 OpenStreetMap contributors";

struct TileSettings {
    std::string url = std::string(kDefaultTileUrl);
    std::string attribution = std::string(kDefaultAttribution);
    friend bool operator==(const TileSettings&, const TileSettings&) = default;
};

// A tile address template the map can use: http:// or https:// with a host,
// {z}, {x} and {y} each present, and no blanks, control characters, quotes
// or angle brackets.
bool IsTileTemplate(std::string_view text);

// The settings from the two stored texts (blanks around them removed).
TileSettings TileSettingsFrom(std::string_view url, std::string_view attribution);
// The same from the settings file.
TileSettings ReadTileSettings();

// The address of the map library loader the page inserts, relative to the
// page: "loader.js?callback=loadLibs&tiles=<template>&attribution=<text>",
// both values percent-encoded.
std::string MapLoaderUrl(const TileSettings& tiles);

// The address the reachability test asks for the tile server: the template
// with {s} as "a", {z}, {x}, {y} and {-y} as 0 and {r} as nothing, i.e. the
// tile of the whole world.
std::string ReachabilityAddress(std::string_view tileTemplate);

// "Trivexa/<version>": the User-Agent of every request the map makes.
std::string MapUserAgent();

// The web profile's folder (tile cache and storage): "map_profile" in the
// program's folder of the user's cache folder ($XDG_CACHE_HOME/trivexa, by
// default ~/.cache/trivexa), which is created private (0700) when missing.
// "" when the user has no cache folder (the map then keeps nothing on disk).
std::string MapProfileDirectory();
std::string MapCacheDirectory(const std::string& profileDirectory);

}  // namespace trivexa::map
