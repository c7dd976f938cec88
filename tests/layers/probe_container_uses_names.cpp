// Allowed: the container reads recording names. This probe must build.
#include "recordings/recording_name.h"

int ProbeSequence() { return trivexa::SequenceNumber("A___-230715-081522-000001F.AVI"); }
