#pragma once
// The still button's picture steps on the real players, for the main
// window's StillCaptureOwner: whether a camera shows a picture, and saving it
// at native size through the player's still writer (JPEG, the picture as
// decoded, unzoomed).
//
// Callers: the main window on the UI thread, while the pair is paused.

#include <string>

#include "recordings/recording_name.h"

namespace trivexa {

class PlayerPair;

// The camera's player has a clip open and a picture decoded.
bool CameraHasPicture(PlayerPair& pair, Camera camera);
// Writes the camera's current picture to `path`; false when it shows none or
// the file cannot be written.
bool SaveCameraStill(PlayerPair& pair, Camera camera, const std::string& path);

}  // namespace trivexa
