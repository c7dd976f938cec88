#include "map/module/map_module.h"

namespace trivexa {

MapModule::~MapModule() = default;

}  // namespace trivexa
