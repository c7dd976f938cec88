// The platform layer is the bottom: it knows nothing of recordings.
#include "recordings/recording_name.h"
