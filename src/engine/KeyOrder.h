// The primary key of a keyed table: the bytes of a record that form it, and
// whether this engine can tell the order of two keys exactly.
//
// Numbers, dates, times and logical values are stored so that their bytes
// sort as the values do (blank first), so a key made only of such fields is
// ordered by comparing bytes. Text is ordered by the table's sort order, and
// no sort order's collation is published: not even "ascii" is documented to
// be plain byte order, and a key of digits could still be ordered by a rule
// that is not character order (the sort orders are known to treat some pairs
// of characters as one). So a key with a text field is never ordered here:
// its records can be changed (apart from the key) and deleted, but a new
// record or a new key cannot be placed.
#pragma once

#include "TableHeader.h"

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace ke {

struct KeyOrder {
    std::vector<FieldInfo> fields; // the key fields: the record's first fields
    uint16_t length = 0;           // bytes of a key: the record's first bytes
    // Why keys cannot be ordered, as a sentence naming the field and the sort
    // order; empty when they can.
    std::string unknownOrder;

    static KeyOrder of(const TableHeader& h);

    bool keyed() const { return !fields.empty(); }
    bool ordered() const { return keyed() && unknownOrder.empty(); }
    // <0, 0 or >0 as key a sorts before, with or after key b; only when ordered().
    int compare(const uint8_t* a, const uint8_t* b) const { return std::memcmp(a, b, length); }
    bool sameKey(const uint8_t* a, const uint8_t* b) const { return std::memcmp(a, b, length) == 0; }
    // The key as text for messages ("Клиент № = 12").
    std::string describe(const TableHeader& h, const uint8_t* key) const;
};

// A field's name in UTF-8 (from the table's code page).
std::string fieldNameOf(const TableHeader& h, const FieldInfo& f);

} // namespace ke
