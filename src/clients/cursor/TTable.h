#pragma once

#include "TDataSetState.h"

#include <QList>
#include <QObject>
#include <QString>
#include <memory>
#include <vector>

class TDataSource;
class TField;
class TDatabase;
struct EngineApi;
struct ke_cursor;

// A cursor on one table of the engine, showing one record at a time.
//
// Notifications each operation sends to its data sources, in this order
// ("state" is deUpdateState, sent only when the state really changes):
//   Open:    state (inactive -> browse), deDataSetChange
//   Close:   state (-> inactive)
//   Settle:  deCheckBrowseMode; in edit/insert: deUpdateRecord, then Post or Cancel
//   First, Last: Settle, deDataSetChange
//   Next, Prior: Settle; nothing more when EOF (Next) / BOF (Prior) is already set;
//            else deDataSetScroll (distance 1 or -1, 0 when the end was found)
//   Edit:    Settle, state (browse -> edit), deRecordChange
//            (on a table with no record: Insert instead; when the card read
//            under the lock is not the one shown: deDataSetChange, no edit)
//   Insert:  Settle, state (browse -> insert), deDataSetChange
//   Post:    deUpdateRecord, deCheckBrowseMode, state (-> browse), deDataSetChange
//   Cancel:  deCheckBrowseMode, state (-> browse), deDataSetChange
//   Delete:  (insert state: Cancel) else deCheckBrowseMode, state (edit -> browse), deDataSetChange
//            (in browse state only the card shown is deleted: read under the
//            lock first; another card stored there is shown instead)
//   Refresh: Settle, deDataSetChange
//   TField::SetAsString: deFieldChange (the field)
// Failures are thrown as Exception subclasses (EDatabaseError, EDBEngineError).
class TTable : public QObject {
    Q_OBJECT
public:
    explicit TTable(QObject* owner = nullptr);
    ~TTable() override;

    // The component name used in messages ("Table1: ..."); it is the object name.
    QString Name() const { return objectName(); }
    void setName(const QString& name) { setObjectName(name); }

    QString DatabaseName() const { return databaseName_; }
    void setDatabaseName(const QString& name) { databaseName_ = name; }
    QString TableName() const { return tableName_; }
    void setTableName(const QString& name) { tableName_ = name; }

    void Open();
    void Close();
    void First();
    void Prior();
    void Next();
    void Last();
    void Insert();
    void Delete();
    void Edit();
    void Post();
    void Cancel();
    void Refresh();
    // Ends a pending edit or insert: posts it when modified, otherwise cancels it.
    void Settle();
    void CheckBrowseMode() { Settle(); }
    // Asks the bound controls to write their changed texts into the fields.
    void UpdateRecord();

    enum class TFindResult { Found, OnlyCurrent, NotFound };
    // Goes to the next record, after the current one and wrapping once to the
    // first, in which one of the fields contains the text, ignoring case and
    // reading Ё as Е. A pending edit or insert is settled first, as by Next.
    // The table is read in order without showing the records passed over;
    // when no other record matches, the view stays (OnlyCurrent when the
    // current record itself contains the text). Sends deDataSetChange only
    // when it moves.
    TFindResult FindNext(const QList<TField*>& fields, const QString& text);

    bool Active() const { return state_ != dsInactive; }
    TDataSetState State() const { return state_; }
    bool Bof() const { return bof_; }
    bool Eof() const { return eof_; }
    bool Modified() const { return modified_; }
    bool CanModify() const { return Active() && canModify_; }
    // No record in the view (closed, or an empty table). A new record in
    // insert state counts as a record; use Bof() && Eof() for "the table is empty".
    bool IsEmpty() const { return !hasRecord_; }

    // The persistent fields, in the order they were given to the table.
    const QList<TField*>& Fields() const { return fields_; }
    TField* FindField(const QString& fieldName) const;
    // As FindField, but a missing field is an error "Table1: Field '...' not found".
    TField* FieldByName(const QString& fieldName) const;

    // Whether the table's code page can hold every character of the text
    // (composed letters: a base and a combining mark count as one).
    // True while the cursor is closed (nothing can be typed then anyway).
    bool CanEncode(const QString& text) const;

private:
    friend class TField;
    friend class TDataSource;
    friend class TSession;

    void moveToEnd(bool first);

    // Field access for TField.
    QString fieldText(const TField* field, bool* isNull) const;
    void setFieldText(TField* field, const QString& text);
    // The longest text the field takes now, 0 for no limit.
    int textLimit(const TField* field) const;
    // The characters of the field's value as stored when the edit began.
    int storedLength(const TField* field) const;
    void addField(TField* field);
    void removeField(TField* field);
    // Data source registration for TDataSource.
    void addDataSource(TDataSource* source);
    void removeDataSource(TDataSource* source);

    void dataEvent(TDataEvent event, void* info = nullptr);
    void setState(TDataSetState state);
    void checkActive() const;
    void checkCanModify() const;
    [[noreturn]] void fail(const QString& text) const;
    void check(unsigned short result) const;
    void openCursor();
    void bindFields();
    void closeCursor() noexcept;
    // Program end: the session closes, the cursor goes with it.
    void closeForSessionEnd() noexcept;
    void resync();
    void clearView();
    void sendFocus(TField* field);
    void move(bool forward);
    void reposition(bool atEnd);
    // Reads the current record with the write lock; true when it is the one
    // the view shows (the lock is then kept), else the lock is let go.
    bool lockShownRecord();

    QString databaseName_;
    QString tableName_;
    TDataSetState state_ = dsInactive;
    bool bof_ = true;
    bool eof_ = true;
    bool modified_ = false;
    bool canModify_ = false;
    bool hasRecord_ = false;
    QList<TField*> fields_;
    std::vector<TDataSource*> sources_;

    TDatabase* database_ = nullptr;
    ke_cursor* cursor_ = nullptr;
    const EngineApi* api_ = nullptr;
    unsigned short codePage_ = 0;
    bool hasConstraints_ = false;
    std::vector<unsigned char> record_; // the current record (pending values in edit/insert)
    std::vector<unsigned char> scratch_; // a read that may fail lands here first
    std::vector<unsigned char> stored_;  // the record as read when the edit began
};
