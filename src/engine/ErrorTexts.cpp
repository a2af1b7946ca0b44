#include "ErrorTexts.h"

#include "kartoteka_engine.h"

namespace ke {

const char* errorText(uint16_t code)
{
    switch (code) {
    case KE_OK: return "Operation succeeded.";
    case KE_ERR_BOF: return "At beginning of table.";
    case KE_ERR_EOF: return "At end of table.";
    case KE_ERR_NO_CURRENT_RECORD: return "No current record.";
    case KE_ERR_RECORD_NOT_FOUND: return "Record or key not found.";
    case KE_ERR_NOT_INITIALIZED: return "The table engine is not initialized.";
    case KE_ERR_ALREADY_INITIALIZED: return "The table engine is already initialized.";
    case KE_ERR_TABLE_READ_ONLY: return "Table is read only.";
    case KE_ERR_INSUFFICIENT_RIGHTS: return "Insufficient table rights for operation. Password required.";
    case KE_ERR_RECORD_LOCKED: return "Record locked by another user.";
    case KE_ERR_CANNOT_DECRYPT: return "The table is password-protected; this engine cannot open protected tables.";
    case KE_ERR_NO_MEMORY: return "Insufficient memory for this operation.";
    case KE_ERR_INVALID_HANDLE: return "Invalid handle to the function.";
    case KE_ERR_INVALID_PARAMETER: return "Invalid parameter.";
    case KE_ERR_DIRECTORY_NOT_FOUND: return "Directory not found.";
    case KE_ERR_TABLE_NOT_FOUND: return "Table does not exist.";
    case KE_ERR_IO: return "An input/output error occurred on the table file.";
    case KE_ERR_CORRUPT_TABLE: return "Corrupt table file.";
    case KE_ERR_UNSUPPORTED_TABLE: return "Unsupported table file format.";
    case KE_ERR_TABLE_FULL: return "Table is full.";
    case KE_ERR_CONFIG: return "Invalid table engine configuration.";
    case KE_ERR_NO_MORE_ENTRIES: return "No more error entries.";
    case KE_ERR_FIELD_NOT_TEXT: return "The field is not a text field.";
    case KE_ERR_UNMAPPABLE_CHARACTER: return "The table's character set cannot hold a character of the text.";
    case KE_ERR_BUFFER_TOO_SMALL: return "The buffer is too small.";
    case KE_ERR_NOT_LOCKED: return "The record is not locked.";
    case KE_ERR_TABLE_IN_USE: return "Table is in use by another user.";
    case KE_ERR_UNKNOWN_DATABASE: return "Unknown database.";
    case KE_ERR_UNKNOWN_DRIVER: return "Unknown table driver.";
    case KE_ERR_UNSUPPORTED_CODE_PAGE: return "Unsupported character set.";
    case KE_ERR_INTERNAL: return "Internal error of the table engine.";
    case KE_ERR_RECORD_DELETED: return "Record was deleted by another user.";
    case KE_ERR_FIELD_TOO_LONG: return "The value is longer than the field.";
    case KE_ERR_RECORD_CHANGED: return "Record was changed by another user.";
    case KE_ERR_TABLE_REPLACED: return "The table file was replaced while it was open; nothing was stored.";
    case KE_ERR_JOURNAL_NOT_APPLIED: return "A journal that does not belong to the table was set aside, not applied.";
    case KE_ERR_KEY_VIOLATION: return "Key violation.";
    case KE_ERR_KEY_ORDER_UNKNOWN: return "The table's key order is unknown: records cannot be added, nor keys changed.";
    default: return nullptr;
    }
}

} // namespace ke
