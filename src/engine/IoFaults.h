// A hook for tests: makes the n-th following write of a change fail as if the
// disk were full, so the failure paths of a change can be exercised.
#pragma once

namespace ke::faults {

// -1: off. Otherwise the number of writes that still succeed; then one write
// fails (or, when persistent, every later write fails until this is called again).
void failWritesAfter(int count, bool persistent = false);
// Called before each write of a change; true when this write is to fail.
bool writeShouldFail();

} // namespace ke::faults
