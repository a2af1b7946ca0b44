// Whether other accounts on this computer can read a card index.
#pragma once

#include <cstdio>
#include <string>

namespace kt {

// One plain line, with the command that would make it private, when the table
// or its folder can be read by other users; nothing when both are private.
// The table is never re-permissioned here: it may be shared on purpose.
void reportReadableByOthers(const std::string& tablePath, std::FILE* out);

} // namespace kt
