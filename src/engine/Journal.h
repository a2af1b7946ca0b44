// The rollback journal kept beside a table while a change is written: the
// original bytes of every region the change overwrites and the original file
// length. A journal left behind by a crash is rolled back before anyone reads.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace ke {

struct JournalEntry {
    uint64_t offset = 0;
    std::vector<uint8_t> original;
};

struct JournalImage {
    uint64_t originalSize = 0;
    std::vector<JournalEntry> entries;

    std::vector<uint8_t> serialize() const;
    // False when the bytes are not a complete journal (a crash while it was
    // written; the table was not touched yet then).
    static bool parse(const std::vector<uint8_t>& bytes, JournalImage& out);
};

std::string journalPathFor(const std::string& tablePath);

} // namespace ke
