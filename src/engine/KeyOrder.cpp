#include "KeyOrder.h"

#include "CodePage.h"
#include "FieldCodec.h"
#include "Utf8.h"
#include "kartoteka_engine.h"

#include <cstdio>

namespace ke {

namespace {

// Types whose stored bytes sort as their values: integers and dates with the
// sign bit flipped, doubles with the sign bit flipped or all bits inverted,
// logical values 80 < 81; blank (all zero) below every value.
bool bytesSortAsValues(uint8_t type)
{
    switch (type) {
    case KE_FIELD_SHORT: case KE_FIELD_LONG: case KE_FIELD_AUTOINC: case KE_FIELD_DATE: case KE_FIELD_TIME:
    case KE_FIELD_LOGICAL: case KE_FIELD_NUMBER: case KE_FIELD_MONEY: case KE_FIELD_TIMESTAMP:
        return true;
    default:
        return false;
    }
}

} // namespace

std::string fieldNameOf(const TableHeader& h, const FieldInfo& f)
{
    if (const CodePage* cp = CodePage::get(h.textCodePage()))
        return cp->toUtf8(reinterpret_cast<const uint8_t*>(f.rawName.data()), f.rawName.size());
    std::string name;
    for (unsigned char ch : f.rawName)
        appendUtf8(name, ch < 0x80 ? ch : 0xFFFD);
    return name;
}

KeyOrder KeyOrder::of(const TableHeader& h)
{
    KeyOrder k;
    for (uint16_t i = 0; i < h.keyFields && i < h.fields.size(); ++i) {
        const FieldInfo& f = h.fields[i];
        k.fields.push_back(f);
        k.length = uint16_t(k.length + f.size);
        if (!k.unknownOrder.empty() || bytesSortAsValues(f.type))
            continue;
        const std::string name = "\"" + fieldNameOf(h, f) + "\"";
        // A protected table's header hides the name: the sort order's byte then.
        char byte[8];
        std::snprintf(byte, sizeof byte, "0x%02X", h.sortOrder);
        const std::string order = h.sortOrderName.empty() ? std::string(byte) : "\"" + h.sortOrderName + "\"";
        if (f.type == KE_FIELD_ALPHA)
            k.unknownOrder = "the key field " + name + " is text ordered by the sort order " + order
                + ", whose order this program cannot reproduce exactly";
        else
            k.unknownOrder = "the key field " + name + " is of the type " + codec::kindName(f.type)
                + ", whose order this program does not reproduce";
    }
    return k;
}

std::string KeyOrder::describe(const TableHeader& h, const uint8_t* key) const
{
    std::string text;
    for (const FieldInfo& f : fields) {
        if (!text.empty())
            text += ", ";
        const std::string value = codec::toText(f, key, h.textCodePage());
        text += fieldNameOf(h, f) + " = " + (value.empty() ? "blank" : value);
    }
    return text;
}

} // namespace ke
