// Shared by the cursor's source files.
#pragma once

namespace ke {

// An index meaning "the last record of the block".
constexpr int kLast = 1 << 30;

} // namespace ke
