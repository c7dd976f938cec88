// The recording names are a leaf: they may not reach the library above them.
#include "recordings/recording_library.h"
