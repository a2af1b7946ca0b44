// Field values in their stored form: big-endian with the sign bit flipped for
// integers, ordered doubles, day numbers from 0001-01-01 = 1. Used by the
// table tool and by tests; the client layer itself only handles text.
#pragma once

#include "TableHeader.h"

#include <cstdint>
#include <optional>
#include <string>

namespace ke::codec {

// Integer-like types (S, I, D, T, +, L) of `size` bytes; nullopt when blank.
std::optional<int64_t> decodeInteger(const uint8_t* p, size_t size);
void encodeInteger(uint8_t* p, size_t size, int64_t value);
// N, $ and @; nullopt when blank.
std::optional<double> decodeDouble(const uint8_t* p);
void encodeDouble(uint8_t* p, double value);

int64_t dayNumber(int year, int month, int day);
void civilFromDayNumber(int64_t n, int& year, int& month, int& day);

// The value as display text (UTF-8); alpha text converted from `codePage`. Empty when blank.
std::string toText(const FieldInfo& field, const uint8_t* record, uint16_t codePage);
// The kind name of a type ("String", "Integer", "Date", "Memo", ...).
const char* kindName(uint8_t type);

} // namespace ke::codec
