#include "app/core/program_version.h"

namespace trivexa {

std::string_view ProgramBuildDate() { return __DATE__; }

}  // namespace trivexa
