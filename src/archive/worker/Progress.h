#pragma once
// The worker's word to the library that it is getting on with the work:
// sent from the places where work is done (bytes copied, read or checked,
// StormLib's add callbacks, a turn of waiting for another writer), never
// from a timer, so a worker stuck in a loop says nothing and is given up.
#include <cstdint>

// Where the word goes: the channel to the library.
void SetProgressChannel(int fd);
// Sends the word, at most a few times a second.
void ReportProgress();
