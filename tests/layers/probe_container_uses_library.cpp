// The container may use the names, never the library (which uses the container).
#include "recordings/recording_library.h"
