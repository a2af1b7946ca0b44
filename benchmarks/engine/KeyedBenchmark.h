// Changes on a keyed table: a card added at a random key, given a new key,
// changed apart from its key, deleted. Each costs the blocks on its way
// through the primary index, so the figures should barely grow with the table.
#pragma once

#include <string>

namespace bench {

// Builds a keyed card index of `records` cards (a card number in front of the
// seven text columns) in `dir` and prints one line of timings.
void keyedChanges(const std::string& dir, int records);

} // namespace bench
