#include "app/player_stills.h"

#include "playback/player_pair.h"

namespace trivexa {

bool CameraHasPicture(PlayerPair& pair, Camera camera) {
    MoviePlayer& player = pair.Player(camera);
    return player.IsPresent() && player.LastOpenResult() == OpenResult::kOpened &&
           player.HasDisplay();
}

bool SaveCameraStill(PlayerPair& pair, Camera camera, const std::string& path) {
    return CameraHasPicture(pair, camera) && pair.Player(camera).SaveFrame(path);
}

}  // namespace trivexa
