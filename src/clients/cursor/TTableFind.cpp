// Finding a record by a text in some of its fields, read in table order.
#include "TTable.h"

#include "EngineApi.h"
#include "NativeTextFold.h"
#include "TField.h"

#include <limits>

namespace {

// The code page's character for one byte, and the byte for one character.
NativeTextFold foldFor(const EngineApi* api, unsigned short codePage) {
    return NativeTextFold(
        [=](unsigned char byte) {
            char utf8[8] = {};
            size_t length = 0;
            if (byte == 0 || api->native_to_unicode(codePage, &byte, 1, utf8, sizeof utf8, &length) != KE_OK)
                return QString();
            return QString::fromUtf8(utf8, static_cast<qsizetype>(length));
        },
        [=](QChar c, unsigned char* byte) {
            const QByteArray utf8 = QString(c).toUtf8();
            unsigned char native[8] = {};
            size_t length = 0;
            if (api->unicode_to_native(codePage, utf8.constData(), static_cast<size_t>(utf8.size()), native,
                                       sizeof native, &length) != KE_OK ||
                length != 1)
                return false;
            *byte = native[0];
            return true;
        });
}

} // namespace

// The search walks the engine's cursor away from the record the view shows and
// brings it back when nothing else matches. The order is: back from the
// current record to the first (counting them, and noting the first match
// among them), forward again to the current one, on to the end; then the
// match noted before, if any. So a search that finds nothing reads every
// record once, plus the way back to the current one.
TTable::TFindResult TTable::FindNext(const QList<TField*>& fields, const QString& text) {
    Settle();
    if (!hasRecord_)
        return TFindResult::NotFound;
    NativeTextFold fold = foldFor(api_, codePage_);
    if (!fold.setNeedle(text))
        return TFindResult::NotFound;

    std::vector<unsigned char> value(std::max<size_t>(record_.size(), 1));
    auto matches = [&](const std::vector<unsigned char>& record) {
        for (const TField* field : fields) {
            if (field->fieldNo_ == 0)
                continue;
            size_t length = 0;
            int blank = 0;
            check(api_->get_field(cursor_, static_cast<uint16_t>(field->fieldNo_), record.data(), value.data(),
                                  value.size(), &length, &blank));
            if (!blank && fold.contains(value.data(), length))
                return true;
        }
        return false;
    };
    // One plain step; false at the end (or the beginning).
    auto step = [&](bool forward) {
        const unsigned short result = forward
            ? api_->get_next_record(cursor_, KE_LOCK_NONE, scratch_.data(), scratch_.size())
            : api_->get_prior_record(cursor_, KE_LOCK_NONE, scratch_.data(), scratch_.size());
        if (result == (forward ? KE_ERR_EOF : KE_ERR_BOF))
            return false;
        check(result);
        return true;
    };
    auto steps = [&](bool forward, size_t count) {
        for (size_t i = 0; i < count; ++i)
            if (!step(forward))
                return false;
        return true;
    };
    auto land = [&] {
        record_.swap(scratch_);
        hasRecord_ = true;
        bof_ = eof_ = false;
        dataEvent(deDataSetChange);
        return TFindResult::Found;
    };

    constexpr size_t none = std::numeric_limits<size_t>::max();
    try {
        const bool currentMatches = matches(record_);
        size_t before = 0;
        size_t firstBefore = none; // steps back from the current record to the first match before it
        while (step(false)) {
            ++before;
            if (matches(scratch_))
                firstBefore = before;
        }
        steps(true, before + 1);
        size_t after = 0;
        while (step(true)) {
            ++after;
            if (matches(scratch_))
                return land();
        }
        if (firstBefore != none) {
            check(api_->set_to_begin(cursor_));
            if (steps(true, before - firstBefore + 1))
                return land();
        }
        // Back onto the current record, by the shorter way.
        if (after <= before) {
            check(api_->set_to_end(cursor_));
            steps(false, after + 1);
        } else {
            check(api_->set_to_begin(cursor_));
            steps(true, before + 1);
        }
        // Another program changed the table meanwhile: show what is there now.
        if (scratch_ != record_)
            resync();
        return currentMatches ? TFindResult::OnlyCurrent : TFindResult::NotFound;
    } catch (...) {
        // The engine's cursor is not where the view is: make them agree again
        // before the error is reported.
        try {
            resync();
        } catch (...) {
        }
        throw;
    }
}
