#pragma once

#include <QObject>
#include <QString>

class TTable;

enum TFieldType {
    ftUnknown, ftString, ftSmallint, ftInteger, ftFloat, ftCurrency, ftBCD, ftDate, ftTime,
    ftDateTime, ftBoolean, ftAutoInc, ftBytes, ftMemo, ftFmtMemo, ftBlob, ftGraphic, ftParadoxOle
};

// A persistent field of a table cursor: the program's fixed view of one column.
// It is matched to the table's column of the same name when the table opens.
class TField : public QObject {
    Q_OBJECT
public:
    explicit TField(QObject* owner = nullptr);
    ~TField() override;

    QString FieldName() const { return fieldName_; }
    void setFieldName(const QString& name) { fieldName_ = name; }
    // The longest text the field takes, in characters.
    int Size() const { return size_; }
    void setSize(int size) { size_ = size; }
    virtual TFieldType DataType() const { return ftUnknown; }

    // The table the field belongs to; setting it adds the field to the table's list.
    TTable* DataSet() const { return dataSet_; }
    void setDataSet(TTable* table);

    bool ReadOnly() const { return readOnly_; }
    void setReadOnly(bool readOnly) { readOnly_ = readOnly; }
    // Whether a value may be written: not read-only, bound, and the table can modify.
    bool CanModify() const;
    // The column number the field is bound to while the table is open, else 0.
    int FieldNo() const { return fieldNo_; }
    // The width of that column (characters of a text column), else 0. It may
    // be wider or narrower than Size.
    int ColumnSize() const { return columnSize_; }

    // The value of the current record; the empty text for a blank value or no record.
    QString AsString() const;
    // Writes the value into the current record: letters composed, cut to Size
    // (to a stored value's length when that is longer, never beyond the
    // table column's size), converted to the table's characters; sets the
    // table's Modified flag and notifies deFieldChange.
    // Outside edit and insert state: "Table1: Dataset not in edit or insert mode".
    void SetAsString(const QString& value);
    bool IsNull() const;

    // Whether a typed character is accepted: a character the field takes and
    // the table's code page can hold.
    bool IsValidChar(QChar c) const;

    // Asks the bound control of this field to take the focus.
    void FocusControl();

private:
    friend class TTable;

    QString fieldName_;
    int size_ = 0;
    bool readOnly_ = false;
    TTable* dataSet_ = nullptr;
    int fieldNo_ = 0;
    int columnSize_ = 0; // characters the bound column holds, while the table is open
};

// A text field.
class TStringField : public TField {
    Q_OBJECT
public:
    explicit TStringField(QObject* owner = nullptr) : TField(owner) { setSize(20); }
    TFieldType DataType() const override { return ftString; }
};
