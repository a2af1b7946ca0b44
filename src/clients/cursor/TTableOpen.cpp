// Opening and closing the table: the session's database, the engine cursor,
// and binding the persistent fields to the table's columns.
#include "TTable.h"

#include "EDatabaseError.h"
#include "EngineApi.h"
#include "TDataSource.h"
#include "TDatabase.h"
#include "TField.h"
#include "TSession.h"

#include <algorithm>

namespace {

constexpr unsigned short kEof = KE_ERR_EOF;

QString columnTypeName(uint8_t type) {
    switch (type) {
    case KE_FIELD_ALPHA: return QStringLiteral("String");
    case KE_FIELD_SHORT: return QStringLiteral("Smallint");
    case KE_FIELD_LONG: return QStringLiteral("Integer");
    case KE_FIELD_NUMBER: return QStringLiteral("Float");
    case KE_FIELD_MONEY: return QStringLiteral("Currency");
    case KE_FIELD_BCD: return QStringLiteral("BCD");
    case KE_FIELD_DATE: return QStringLiteral("Date");
    case KE_FIELD_TIME: return QStringLiteral("Time");
    case KE_FIELD_TIMESTAMP: return QStringLiteral("DateTime");
    case KE_FIELD_LOGICAL: return QStringLiteral("Boolean");
    case KE_FIELD_AUTOINC: return QStringLiteral("AutoInc");
    case KE_FIELD_BYTES: return QStringLiteral("Bytes");
    case KE_FIELD_MEMO: return QStringLiteral("Memo");
    case KE_FIELD_FMTMEMO: return QStringLiteral("FmtMemo");
    case KE_FIELD_BLOB: return QStringLiteral("Blob");
    case KE_FIELD_GRAPHIC: return QStringLiteral("Graphic");
    case KE_FIELD_OLE: return QStringLiteral("ParadoxOle");
    default: return QStringLiteral("Unknown");
    }
}

bool isTextColumn(uint8_t type) {
    return type == KE_FIELD_ALPHA;
}

} // namespace

void TTable::Open() {
    if (Active())
        return;
    TSession& session = TSession::Default();
    session.Start();
    TDatabase* database = session.OpenDatabase(databaseName_);
    database_ = database;
    api_ = &session.Api();
    session.registerTable(this);
    try {
        openCursor();
        bindFields();
        record_.assign(record_.size(), 0);
        clearView();
        check(api_->set_to_begin(cursor_));
        const unsigned short result = api_->get_next_record(cursor_, KE_LOCK_NONE, scratch_.data(), scratch_.size());
        if (result == KE_OK) {
            record_.swap(scratch_);
            hasRecord_ = true;
            eof_ = false;
        } else if (result != kEof) {
            check(result);
        }
    } catch (...) {
        closeCursor();
        throw;
    }
    modified_ = false;
    setState(dsBrowse);
    dataEvent(deDataSetChange);
}

void TTable::openCursor() {
    TSession& session = TSession::Default();
    const QByteArray name = tableName_.toUtf8();
    ke_open_mode mode = KE_OPEN_READ_WRITE;
    for (;;) {
        ke_cursor* cursor = nullptr;
        const unsigned short result = api_->open_table(database_->Handle(), name.constData(), "PARADOX", nullptr, 0,
                                                       mode, KE_SHARE_SHARED, &cursor);
        if (result == KE_OK) {
            if (!cursor)
                throw EDatabaseError(QStringLiteral("Error creating cursor handle"));
            cursor_ = cursor;
            break;
        }
        if (result == KE_ERR_TABLE_READ_ONLY && mode == KE_OPEN_READ_WRITE) {
            mode = KE_OPEN_READ_ONLY;
            continue;
        }
        if (result == KE_ERR_INSUFFICIENT_RIGHTS) {
            // The engine's error stack must be read before the dialog talks to the engine.
            const QString message = session.ErrorMessage(result);
            if (session.GetPassword())
                continue;
            throw EDBEngineError(result, message);
        }
        check(result);
    }
    ke_cursor_props props{};
    check(api_->get_cursor_props(cursor_, &props));
    codePage_ = props.code_page;
    hasConstraints_ = props.has_constraints != 0;
    canModify_ = mode == KE_OPEN_READ_WRITE && !props.read_only;
    record_.assign(props.record_size, 0);
    scratch_.assign(props.record_size, 0);
}

void TTable::bindFields() {
    ke_cursor_props props{};
    check(api_->get_cursor_props(cursor_, &props));
    std::vector<ke_field_desc> descs(props.field_count);
    if (!descs.empty())
        check(api_->get_field_descs(cursor_, descs.data(), props.field_count));
    for (TField* field : fields_) {
        const ke_field_desc* column = nullptr;
        for (const ke_field_desc& desc : descs) {
            const QString name = QString::fromUtf8(desc.name, qstrnlen(desc.name, sizeof desc.name));
            if (name.compare(field->FieldName(), Qt::CaseInsensitive) == 0) {
                column = &desc;
                break;
            }
        }
        if (!column)
            fail(QStringLiteral("Field '%1' not found").arg(field->FieldName()));
        if (field->DataType() == ftString && !isTextColumn(column->type))
            fail(QStringLiteral("Type mismatch for field '%1', expecting: %2 actual: %3")
                     .arg(field->FieldName(), QStringLiteral("String"), columnTypeName(column->type)));
        field->fieldNo_ = column->number;
        field->columnSize_ = isTextColumn(column->type) ? column->size : 0;
    }
}

void TTable::closeCursor() noexcept {
    if (cursor_ && api_)
        api_->close_cursor(cursor_); // drops a record lock and a pending new record
    cursor_ = nullptr;
    if (database_)
        database_->RemoveUser();
    database_ = nullptr;
    for (TField* field : fields_)
        field->fieldNo_ = field->columnSize_ = 0;
    record_.clear();
    scratch_.clear();
    hasRecord_ = false;
    bof_ = eof_ = true;
    modified_ = false;
    canModify_ = false;
    TSession::Default().unregisterTable(this);
}

void TTable::Close() {
    if (!Active())
        return;
    closeCursor();
    setState(dsInactive);
}

void TTable::closeForSessionEnd() noexcept {
    try {
        Close();
    } catch (...) {
        closeCursor();
        state_ = dsInactive;
    }
}
