// Creates a new, empty unkeyed table file.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

namespace ke {

struct NewField {
    std::string name; // UTF-8
    uint8_t type;     // KE_FIELD_*
    uint8_t size;     // size byte (alpha length; decimals for BCD; ignored for fixed types)
};

struct NewTable {
    std::vector<NewField> fields;
    uint16_t codePage = 1251;     // not stored at level 3
    uint8_t fileVersion = 0x09;   // 0x03/0x04 level 3, 0x09 level 4, 0x0B level 5, 0x0C level 7
    uint8_t blockSizeKiB = 2;
    uint8_t sortOrder = 0x00;
    std::string sortOrderName = "ascii";
    uint16_t keyFields = 0; // the first fields form the primary key; 0: unkeyed
};

// The seven text columns of the client card index, code page 1251.
NewTable clientTableLayout();

// Writes a whole new file (readable as `mode` allows): under a name of its
// own, synced, renamed into place, never over another file, folder synced.
void writeNewFile(const std::string& path, const std::vector<uint8_t>& bytes, mode_t mode = 0600);

// Writes the table (and, for a keyed one, its empty primary index first);
// refuses to overwrite an existing file. Throws EngineError.
void createTable(const std::string& path, const NewTable& table);

} // namespace ke
