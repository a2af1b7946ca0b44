#pragma once

#include <array>

class TTable;
class TStringField;

// The seven fields of the client record, as persistent fields of a client
// window's cursor: "Клиент №" 5, "Фамилия" 40, "Имя" 25, "Отчество" 25,
// "Возраст" 25, "Семейное положение" 25, "Количество детей" 25, with the object
// names Table1StringField, Table1StringField2 .. Table1StringField7. The table owns them.
using ClientFieldSet = std::array<TStringField*, 7>;
ClientFieldSet createClientFields(TTable* table);

// A client window's cursor: named Table1, on the client table, with the seven fields.
ClientFieldSet setUpClientTable(TTable* table);

// The client table's place: the database (a directory) and the table name.
inline constexpr const char16_t* kClientDatabaseName = u"E:\\ЗУРБЕЛИН\\proga";
inline constexpr const char16_t* kClientTableName = u"data.DB";
