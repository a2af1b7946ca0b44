#include "TTable.h"

#include "EDatabaseError.h"
#include "EngineApi.h"
#include "TDataSource.h"
#include "TDatabase.h"
#include "TField.h"
#include "TSession.h"

#include <algorithm>

namespace {

constexpr unsigned short kBof = KE_ERR_BOF;
constexpr unsigned short kEof = KE_ERR_EOF;
constexpr unsigned short kNoCurrent = KE_ERR_NO_CURRENT_RECORD;
constexpr unsigned short kNotFound = KE_ERR_RECORD_NOT_FOUND;
constexpr unsigned short kDeleted = KE_ERR_RECORD_DELETED; // the record shown went, through another user

} // namespace

TTable::TTable(QObject* owner) : QObject(owner) {}

TTable::~TTable() {
    try {
        Close();
    } catch (...) {
        closeCursor();
    }
    for (TDataSource* source : std::vector<TDataSource*>(sources_))
        source->dataSetDestroyed();
    for (TField* field : fields_)
        field->dataSet_ = nullptr;
}

// ---------------------------------------------------------------- fields

void TTable::addField(TField* field) {
    if (!fields_.contains(field))
        fields_.append(field);
}

void TTable::removeField(TField* field) {
    fields_.removeAll(field);
}

TField* TTable::FindField(const QString& fieldName) const {
    for (TField* field : fields_)
        if (field->FieldName().compare(fieldName, Qt::CaseInsensitive) == 0)
            return field;
    return nullptr;
}

TField* TTable::FieldByName(const QString& fieldName) const {
    TField* field = FindField(fieldName);
    if (!field)
        fail(QStringLiteral("Field '%1' not found").arg(fieldName));
    return field;
}

QString TTable::fieldText(const TField* field, bool* isNull) const {
    *isNull = true;
    if (!Active() || !hasRecord_ || field->fieldNo_ == 0)
        return {};
    std::vector<unsigned char> value(std::max<size_t>(record_.size(), 1));
    size_t length = 0;
    int blank = 0;
    check(api_->get_field(cursor_, static_cast<uint16_t>(field->fieldNo_), record_.data(), value.data(),
                          value.size(), &length, &blank));
    if (blank)
        return {};
    *isNull = false;
    if (length == 0)
        return {};
    QByteArray utf8(static_cast<qsizetype>(length * 4 + 4), Qt::Uninitialized);
    size_t outLength = 0;
    check(api_->native_to_unicode(codePage_, value.data(), length, utf8.data(), static_cast<size_t>(utf8.size()),
                                  &outLength));
    return QString::fromUtf8(utf8.constData(), static_cast<qsizetype>(outLength));
}

void TTable::setFieldText(TField* field, const QString& text) {
    if (state_ != dsEdit && state_ != dsInsert)
        fail(QStringLiteral("Dataset not in edit or insert mode"));
    if (field->ReadOnly() || field->fieldNo_ == 0)
        fail(QStringLiteral("Field '%1' cannot be modified").arg(field->FieldName()));
    // Text from other systems may spell a letter as its base and a combining
    // mark; the code page holds the composed letter.
    const QString composed = text.normalized(QString::NormalizationForm_C);
    const int limit = textLimit(field);
    const QString cut = limit > 0 ? composed.left(limit) : composed;
    const auto number = static_cast<uint16_t>(field->fieldNo_);
    if (cut.isEmpty()) {
        check(api_->put_field(cursor_, number, record_.data(), record_.size(), nullptr, 0));
    } else {
        const QByteArray utf8 = cut.toUtf8();
        std::vector<unsigned char> native(static_cast<size_t>(utf8.size()) + 4);
        size_t length = 0;
        check(api_->unicode_to_native(codePage_, utf8.constData(), static_cast<size_t>(utf8.size()), native.data(),
                                      native.size(), &length));
        if (hasConstraints_) {
            int blank = 0;
            check(api_->verify_field(cursor_, number, native.data(), length, &blank));
        }
        check(api_->put_field(cursor_, number, record_.data(), record_.size(), native.data(), length));
    }
    modified_ = true;
    dataEvent(deFieldChange, field);
}

int TTable::textLimit(const TField* field) const {
    // The engine refuses a value longer than its column. New text is cut to
    // the field's Size (what the edit boxes let the user type); a stored value
    // already longer (a wider column of a table made elsewhere) keeps its
    // length, so that editing inside it never drops what the user left alone.
    int limit = field->Size();
    if (limit > 0 && state_ == dsEdit)
        limit = std::max(limit, storedLength(field));
    // A table's column may be shorter than the program's field.
    if (field->columnSize_ > 0 && (limit <= 0 || field->columnSize_ < limit))
        limit = field->columnSize_;
    return limit;
}

int TTable::storedLength(const TField* field) const {
    if (stored_.size() != record_.size())
        return 0;
    std::vector<unsigned char> value(std::max<size_t>(stored_.size(), 1));
    size_t length = 0;
    int blank = 0;
    const unsigned short result = api_->get_field(cursor_, static_cast<uint16_t>(field->fieldNo_), stored_.data(),
                                                  value.data(), value.size(), &length, &blank);
    // The code pages are single-byte: a byte is a character.
    return result == KE_OK && !blank ? int(length) : 0;
}

bool TTable::CanEncode(const QString& text) const {
    if (!Active() || text.isEmpty())
        return true;
    const QByteArray utf8 = text.normalized(QString::NormalizationForm_C).toUtf8();
    std::vector<unsigned char> native(static_cast<size_t>(utf8.size()) + 4);
    size_t length = 0;
    return api_->unicode_to_native(codePage_, utf8.constData(), static_cast<size_t>(utf8.size()), native.data(),
                                   native.size(), &length) == KE_OK;
}

// ---------------------------------------------------------------- notifications

void TTable::addDataSource(TDataSource* source) {
    if (std::find(sources_.begin(), sources_.end(), source) == sources_.end())
        sources_.push_back(source);
}

void TTable::removeDataSource(TDataSource* source) {
    sources_.erase(std::remove(sources_.begin(), sources_.end(), source), sources_.end());
}

void TTable::dataEvent(TDataEvent event, void* info) {
    // A source may detach itself while being told; walk a copy.
    for (TDataSource* source : std::vector<TDataSource*>(sources_))
        if (std::find(sources_.begin(), sources_.end(), source) != sources_.end())
            source->dataEvent(event, info);
}

void TTable::setState(TDataSetState state) {
    if (state_ == state)
        return;
    state_ = state;
    dataEvent(deUpdateState);
}

void TTable::sendFocus(TField* field) {
    TField* target = field;
    dataEvent(deFocusControl, &target);
}

// ---------------------------------------------------------------- errors

void TTable::fail(const QString& text) const {
    throw EDatabaseError(Name() + QStringLiteral(": ") + text);
}

void TTable::check(unsigned short result) const {
    TSession::Default().Check(result);
}

void TTable::checkActive() const {
    if (!Active())
        fail(QStringLiteral("Cannot perform this operation on a closed dataset"));
}

void TTable::checkCanModify() const {
    if (!CanModify())
        fail(QStringLiteral("Cannot modify a read-only dataset"));
}

// ---------------------------------------------------------------- the view

void TTable::clearView() {
    hasRecord_ = false;
    bof_ = eof_ = true;
}

void TTable::resync() {
    // The engine's current record, else the next, else the prior one.
    unsigned short result = api_->get_record(cursor_, KE_LOCK_NONE, scratch_.data(), scratch_.size());
    if (result != KE_OK && result != kNoCurrent && result != kNotFound && result != kDeleted && result != kBof &&
        result != kEof)
        check(result);
    if (result != KE_OK) {
        result = api_->get_next_record(cursor_, KE_LOCK_NONE, scratch_.data(), scratch_.size());
        if (result != KE_OK && result != kEof)
            check(result);
    }
    if (result != KE_OK) {
        result = api_->get_prior_record(cursor_, KE_LOCK_NONE, scratch_.data(), scratch_.size());
        if (result != KE_OK && result != kBof)
            check(result);
    }
    if (result == KE_OK) {
        record_.swap(scratch_);
        hasRecord_ = true;
        bof_ = eof_ = false;
    } else {
        clearView();
    }
    dataEvent(deDataSetChange);
}

void TTable::reposition(bool atEnd) {
    // After a move that found the end, put the engine's cursor back on the
    // record the view shows (the last or the first one), so that Edit, Delete
    // and the next move start from there.
    if (atEnd) {
        check(api_->set_to_end(cursor_));
        check(api_->get_prior_record(cursor_, KE_LOCK_NONE, scratch_.data(), scratch_.size()));
    } else {
        check(api_->set_to_begin(cursor_));
        check(api_->get_next_record(cursor_, KE_LOCK_NONE, scratch_.data(), scratch_.size()));
    }
}

// ---------------------------------------------------------------- moves

void TTable::Settle() {
    checkActive();
    dataEvent(deCheckBrowseMode);
    if (state_ == dsEdit || state_ == dsInsert) {
        UpdateRecord();
        if (modified_)
            Post();
        else
            Cancel();
    }
}

void TTable::UpdateRecord() {
    if (state_ != dsEdit && state_ != dsInsert)
        fail(QStringLiteral("Dataset not in edit or insert mode"));
    dataEvent(deUpdateRecord);
}

void TTable::First() { moveToEnd(true); }

void TTable::Last() { moveToEnd(false); }

// First and Last: settle, empty the view, stand before the first (after the last)
// record and read towards the other end. The flag of the end reached stays set.
void TTable::moveToEnd(bool first) {
    Settle();
    clearView();
    check(first ? api_->set_to_begin(cursor_) : api_->set_to_end(cursor_));
    const unsigned short result = first ? api_->get_next_record(cursor_, KE_LOCK_NONE, scratch_.data(), scratch_.size())
                                        : api_->get_prior_record(cursor_, KE_LOCK_NONE, scratch_.data(), scratch_.size());
    if (result == KE_OK) {
        record_.swap(scratch_);
        hasRecord_ = true;
        (first ? eof_ : bof_) = false;
    } else if (result != (first ? kEof : kBof)) {
        dataEvent(deDataSetChange);
        check(result);
    }
    dataEvent(deDataSetChange);
}

void TTable::Next() {
    move(true);
}

void TTable::Prior() {
    move(false);
}

void TTable::move(bool forward) {
    Settle();
    if (forward ? eof_ : bof_)
        return;
    const bool oldBof = bof_, oldEof = eof_;
    bof_ = eof_ = false;
    const unsigned short result = forward ? api_->get_next_record(cursor_, KE_LOCK_NONE, scratch_.data(), scratch_.size())
                                          : api_->get_prior_record(cursor_, KE_LOCK_NONE, scratch_.data(), scratch_.size());
    if (result == KE_OK) {
        record_.swap(scratch_);
        dataEvent(deDataSetScroll, reinterpret_cast<void*>(static_cast<intptr_t>(forward ? 1 : -1)));
        return;
    }
    if (result != (forward ? kEof : kBof)) {
        bof_ = oldBof;
        eof_ = oldEof;
        check(result);
    }
    (forward ? eof_ : bof_) = true;
    reposition(forward);
    dataEvent(deDataSetScroll, nullptr);
}

// ---------------------------------------------------------------- changes

void TTable::Edit() {
    if (state_ == dsEdit || state_ == dsInsert)
        return;
    if (!hasRecord_) {
        Insert();
        return;
    }
    Settle();
    checkCanModify();
    check(api_->get_record(cursor_, KE_LOCK_WRITE, scratch_.data(), scratch_.size()));
    const bool asShown = scratch_ == record_;
    record_.swap(scratch_);
    if (!asShown) {
        // Another user changed the card on screen, or put another in its
        // place: the window shows it as stored and no edit starts, so the key
        // that asked for one never lands in values the user has not seen.
        api_->release_record_lock(cursor_);
        dataEvent(deDataSetChange);
        return;
    }
    stored_ = record_;
    modified_ = false;
    setState(dsEdit);
    dataEvent(deRecordChange);
}

void TTable::Insert() {
    Settle();
    checkCanModify();
    check(api_->init_record(cursor_, scratch_.data(), scratch_.size()));
    check(api_->make_insertion_point(cursor_));
    record_.swap(scratch_);
    hasRecord_ = true;
    modified_ = false;
    setState(dsInsert);
    dataEvent(deDataSetChange);
}

void TTable::Post() {
    UpdateRecord();
    dataEvent(deCheckBrowseMode);
    if (state_ == dsEdit)
        check(api_->modify_record(cursor_, record_.data(), 1));
    else
        check(api_->insert_record(cursor_, KE_LOCK_NONE, record_.data()));
    modified_ = false;
    setState(dsBrowse);
    resync();
}

void TTable::Cancel() {
    if (state_ != dsEdit && state_ != dsInsert)
        return;
    dataEvent(deCheckBrowseMode);
    if (state_ == dsEdit)
        api_->release_record_lock(cursor_); // nothing to do when the lock is already gone
    modified_ = false;
    setState(dsBrowse);
    resync();
}

void TTable::Delete() {
    checkActive();
    if (state_ == dsInsert) {
        Cancel();
        return;
    }
    if (!hasRecord_)
        fail(QStringLiteral("Cannot perform this operation on an empty dataset"));
    dataEvent(deCheckBrowseMode);
    // An edit holds the lock since it read the card; in browse state the card
    // is read under the lock first and deleted only as the window shows it.
    if (state_ == dsEdit || lockShownRecord()) {
        const unsigned short result = api_->delete_record(cursor_);
        if (result != KE_OK && result != kNotFound)
            check(result);
    }
    modified_ = false;
    setState(dsBrowse);
    resync();
}

bool TTable::lockShownRecord() {
    const unsigned short result = api_->get_record(cursor_, KE_LOCK_WRITE, scratch_.data(), scratch_.size());
    if (result == kNotFound || result == kDeleted || result == kNoCurrent)
        return false; // gone already: the view is read again
    check(result);
    if (scratch_ == record_)
        return true;
    api_->release_record_lock(cursor_);
    return false;
}

void TTable::Refresh() {
    Settle();
    resync();
}
