#include "ClientFields.h"

#include "TField.h"
#include "TTable.h"

ClientFieldSet createClientFields(TTable* table) {
    struct Column {
        const char16_t* name;
        int size;
    };
    static constexpr Column columns[7] = {
        {u"Клиент №", 5}, {u"Фамилия", 40}, {u"Имя", 25}, {u"Отчество", 25},
        {u"Возраст", 25}, {u"Семейное положение", 25}, {u"Количество детей", 25},
    };
    ClientFieldSet fields{};
    for (int i = 0; i < 7; ++i) {
        auto* field = new TStringField(table);
        field->setObjectName(i == 0 ? QStringLiteral("Table1StringField")
                                    : QStringLiteral("Table1StringField%1").arg(i + 1));
        field->setFieldName(QString::fromUtf16(columns[i].name));
        field->setSize(columns[i].size);
        field->setDataSet(table);
        fields[static_cast<size_t>(i)] = field;
    }
    return fields;
}

ClientFieldSet setUpClientTable(TTable* table) {
    table->setName(QStringLiteral("Table1"));
    table->setDatabaseName(QString::fromUtf16(kClientDatabaseName));
    table->setTableName(QString::fromUtf16(kClientTableName));
    return createClientFields(table);
}
