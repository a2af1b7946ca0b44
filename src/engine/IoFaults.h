// A hook for tests: makes the n-th following write of a change fail as if the
// disk were full, so the failure paths of a change can be exercised.
#pragma once

namespace ke::faults {

// -1: off. Otherwise the number of writes that still succeed.
void failWritesAfter(int count);
// Called before each write of a change; true when this write is to fail.
bool writeShouldFail();

} // namespace ke::faults
