/* The table engine's whole public interface.
 *
 * The engine is a plugin (libkartoteka-engine.so) loaded by the client layer at
 * its first Open. Every function returns a 16-bit result code, 0 on success.
 * Nothing but result codes crosses this boundary: no exceptions, no C++ types.
 * After a failure the engine keeps an error stack of entries (code, native code,
 * context text) that ke_error_entry reads until the next call that fails.
 *
 * All texts given to or returned by the engine's own functions (paths, table
 * and field names, error texts) are UTF-8. Field values are the table's native
 * bytes in its code page; ke_native_to_unicode / ke_unicode_to_native convert
 * them at the table boundary.
 *
 * Every buffer the engine writes into comes with its size in bytes (or, for
 * arrays of structures, in elements). A buffer that is too small gives
 * KE_ERR_BUFFER_TOO_SMALL and a NULL buffer where one is needed gives
 * KE_ERR_INVALID_PARAMETER; in both cases nothing is written to it.
 */
#ifndef KARTOTEKA_ENGINE_H
#define KARTOTEKA_ENGINE_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(KE_BUILDING_ENGINE)
#define KE_API __attribute__((visibility("default")))
#else
#define KE_API
#endif

typedef uint16_t ke_result;

/* Result codes the client layer acts upon. */
#define KE_OK 0x0000
#define KE_ERR_BOF 0x2201              /* nothing before: at the beginning of the table */
#define KE_ERR_EOF 0x2202              /* nothing after: at the end of the table */
#define KE_ERR_NO_CURRENT_RECORD 0x2203 /* the cursor stands between records */
#define KE_ERR_RECORD_NOT_FOUND 0x2204 /* the record is gone (deleted by someone else) */
#define KE_ERR_NOT_INITIALIZED 0x2A01
#define KE_ERR_ALREADY_INITIALIZED 0x2A07
#define KE_ERR_TABLE_READ_ONLY 0x2A0B /* a read-write open of a table that can only be read */
#define KE_ERR_INSUFFICIENT_RIGHTS 0x2902 /* password-protected table, no password given */
#define KE_ERR_RECORD_LOCKED 0x2903    /* another writer holds the record lock */
#define KE_ERR_CANNOT_DECRYPT 0x2904   /* protected tables cannot be opened by this engine */
#define KE_ERR_NO_MEMORY 0x2501
#define KE_ERR_INVALID_HANDLE 0x2106
#define KE_ERR_INVALID_PARAMETER 0x2107
#define KE_ERR_DIRECTORY_NOT_FOUND 0x2111
#define KE_ERR_TABLE_NOT_FOUND 0x2112
#define KE_ERR_IO 0x2113               /* native code: errno */
#define KE_ERR_CORRUPT_TABLE 0x2114    /* a damaged or unreadable table file */
#define KE_ERR_UNSUPPORTED_TABLE 0x2115
#define KE_ERR_TABLE_FULL 0x2116
#define KE_ERR_CONFIG 0x2117           /* bad engine configuration; the context names file and line */
#define KE_ERR_NO_MORE_ENTRIES 0x2118  /* ke_error_entry: no further entry */
#define KE_ERR_FIELD_NOT_TEXT 0x2119
#define KE_ERR_UNMAPPABLE_CHARACTER 0x211A /* a character the table's code page cannot hold */
#define KE_ERR_BUFFER_TOO_SMALL 0x211B
#define KE_ERR_NOT_LOCKED 0x211C
#define KE_ERR_TABLE_IN_USE 0x211D     /* the share mode conflicts with another open of the table */
#define KE_ERR_UNKNOWN_DATABASE 0x211E /* a database name that is neither a directory nor known */
#define KE_ERR_UNKNOWN_DRIVER 0x211F   /* a driver other than "PARADOX" */
#define KE_ERR_UNSUPPORTED_CODE_PAGE 0x2120 /* not a single-byte code page the engine knows */
#define KE_ERR_INTERNAL 0x2121
#define KE_ERR_RECORD_DELETED 0x2122  /* the record the cursor showed was deleted by another user */
#define KE_ERR_FIELD_TOO_LONG 0x2123  /* a value longer than its field; the context names field and size */
#define KE_ERR_RECORD_CHANGED 0x2124  /* the record the cursor showed was changed by another user since */
#define KE_ERR_TABLE_REPLACED 0x2125  /* the table file was replaced (or moved away) while open; nothing was stored */
#define KE_ERR_JOURNAL_NOT_APPLIED 0x2126 /* a journal that does not belong to the table was set aside; the context names it */
#define KE_ERR_KEY_VIOLATION 0x2130   /* a record with the same key is stored already */
#define KE_ERR_KEY_ORDER_UNKNOWN 0x2131 /* the key's order cannot be reproduced: no new records, no key changes */

typedef struct ke_database ke_database;
typedef struct ke_cursor ke_cursor;

/* KE_OPEN_READ_AS_STORED: read-only, and the file exactly as it stands: a
 * journal beside it is neither rolled back nor moved (to verify a copy). */
typedef enum { KE_OPEN_READ_WRITE = 0, KE_OPEN_READ_ONLY = 1, KE_OPEN_READ_AS_STORED = 2 } ke_open_mode;
typedef enum { KE_SHARE_SHARED = 0, KE_SHARE_EXCLUSIVE = 1 } ke_share_mode;
typedef enum { KE_LOCK_NONE = 0, KE_LOCK_WRITE = 1 } ke_lock;

typedef struct {
    char language[8]; /* "0009" */
} ke_environment;

/* Paradox field type codes, as stored in the table header. */
enum {
    KE_FIELD_ALPHA = 0x01, KE_FIELD_DATE = 0x02, KE_FIELD_SHORT = 0x03, KE_FIELD_LONG = 0x04,
    KE_FIELD_MONEY = 0x05, KE_FIELD_NUMBER = 0x06, KE_FIELD_LOGICAL = 0x09, KE_FIELD_MEMO = 0x0C,
    KE_FIELD_BLOB = 0x0D, KE_FIELD_FMTMEMO = 0x0E, KE_FIELD_OLE = 0x0F, KE_FIELD_GRAPHIC = 0x10,
    KE_FIELD_TIME = 0x14, KE_FIELD_TIMESTAMP = 0x15, KE_FIELD_AUTOINC = 0x16, KE_FIELD_BCD = 0x17,
    KE_FIELD_BYTES = 0x18
};

typedef struct {
    uint16_t number;  /* from 1 */
    char name[104];   /* UTF-8, NUL-terminated */
    uint8_t type;     /* KE_FIELD_* */
    uint16_t size;    /* bytes in the record (characters, for alpha fields) */
    uint16_t offset;  /* offset in the record buffer */
} ke_field_desc;

typedef struct {
    uint16_t record_size;   /* bytes of a record buffer */
    uint16_t bookmark_size;
    uint8_t read_only;      /* the cursor cannot modify */
    uint8_t has_constraints; /* verify-field is meaningful */
    uint16_t field_count;
    uint16_t code_page;     /* the cursor's language driver: code page of its text */
    char sort_order[32];    /* the table's sort-order (language driver) name */
} ke_cursor_props;

/* Session: the initialisation and exit entries. */
KE_API ke_result ke_init(const ke_environment* env);
KE_API ke_result ke_exit(void);

/* Databases. name NULL or "" is the standard database. */
KE_API ke_result ke_open_database(const char* name, ke_open_mode mode, ke_share_mode share,
                                  const char* password, ke_database** out);
KE_API ke_result ke_close_database(ke_database* db);
/* path: a directory, possibly with a drive letter ("E:\\dir\\sub"), mapped by the configuration. */
KE_API ke_result ke_set_directory(ke_database* db, const char* path);

/* Tables (cursors). driver "PARADOX"; index_name NULL and index_number 0 for the default order. */
KE_API ke_result ke_open_table(ke_database* db, const char* table_name, const char* driver,
                               const char* index_name, uint16_t index_number, ke_open_mode mode,
                               ke_share_mode share, ke_cursor** out);
KE_API ke_result ke_close_cursor(ke_cursor* cursor);
KE_API ke_result ke_get_cursor_props(ke_cursor* cursor, ke_cursor_props* props);
/* Fills props.field_count descriptors; capacity: the descriptors descs has room for. */
KE_API ke_result ke_get_field_descs(ke_cursor* cursor, ke_field_desc* descs, uint16_t capacity);

/* Positioning and reading. The cursor stands on a record or on a crack between records.
 * record (record_size bytes, at least props.record_size) gets the record; NULL
 * only moves. A buffer too small gives KE_ERR_BUFFER_TOO_SMALL and the cursor
 * stays where it was. */
KE_API ke_result ke_set_to_begin(ke_cursor* cursor);
KE_API ke_result ke_set_to_end(ke_cursor* cursor);
KE_API ke_result ke_get_record(ke_cursor* cursor, ke_lock lock, uint8_t* record, size_t record_size);
KE_API ke_result ke_get_next_record(ke_cursor* cursor, ke_lock lock, uint8_t* record, size_t record_size);
KE_API ke_result ke_get_prior_record(ke_cursor* cursor, ke_lock lock, uint8_t* record, size_t record_size);

/* Record buffers: record_size is the bytes record has, at least props.record_size. */
KE_API ke_result ke_init_record(ke_cursor* cursor, uint8_t* record, size_t record_size);
/* Copies the field's native bytes (without padding) to value; *length gets their count. */
KE_API ke_result ke_get_field(ke_cursor* cursor, uint16_t field, const uint8_t* record,
                              uint8_t* value, size_t capacity, size_t* length, int* blank);
/* value NULL or length 0 stores a blank. Text longer than the field is refused
 * with KE_ERR_FIELD_TOO_LONG (the record is left as it was); a text value ends
 * at its first NUL byte. */
KE_API ke_result ke_put_field(ke_cursor* cursor, uint16_t field, uint8_t* record, size_t record_size,
                              const uint8_t* value, size_t length);
KE_API ke_result ke_verify_field(ke_cursor* cursor, uint16_t field, const uint8_t* value,
                                 size_t length, int* blank);

/* Changes. Each reaches the file atomically and durably before the call returns. */
KE_API ke_result ke_make_insertion_point(ke_cursor* cursor);
/* Stores a new record at the insertion point (else at the cursor's position); the cursor stands on it. */
KE_API ke_result ke_insert_record(ke_cursor* cursor, ke_lock lock, const uint8_t* record);
/* Replaces the current record and, when release_lock is set, frees its lock.
 * Delete and modify act only on the record as the cursor last returned it:
 * when another user has changed it since, delete removes nothing
 * (KE_ERR_RECORD_NOT_FOUND) and modify fails (KE_ERR_RECORD_CHANGED); the
 * cursor then stands on the stored record, which the next read returns (a
 * read or move with a NULL record buffer counts as returning it). */
KE_API ke_result ke_modify_record(ke_cursor* cursor, const uint8_t* record, int release_lock);
/* Removes the current record; the cursor then stands on the crack where it was. */
KE_API ke_result ke_delete_record(ke_cursor* cursor);
KE_API ke_result ke_release_record_lock(ke_cursor* cursor);

/* Passwords of the session. ke_drop_password(NULL) drops all. */
KE_API ke_result ke_add_password(const char* password);
KE_API ke_result ke_drop_password(const char* password);

/* Errors. Texts are English, UTF-8. Entries are numbered from 1. A text longer
 * than capacity - 1 bytes is cut at a character boundary; text NULL or
 * capacity 0 receives nothing. */
KE_API ke_result ke_error_text(ke_result code, char* text, size_t capacity);
KE_API ke_result ke_error_entry(uint16_t entry, ke_result* code, int32_t* native_code,
                                char* context, size_t capacity);

/* Text at the table boundary. ke_unicode_to_native fails with KE_ERR_UNMAPPABLE_CHARACTER
 * when the code page cannot hold a character. *out_length (may be NULL) gets
 * the converted length even when the buffer is too small; a terminating NUL is
 * added when there is room (ke_native_to_unicode needs room for it). */
KE_API ke_result ke_native_to_unicode(uint16_t code_page, const uint8_t* native, size_t length,
                                      char* utf8, size_t capacity, size_t* out_length);
KE_API ke_result ke_unicode_to_native(uint16_t code_page, const char* utf8, size_t length,
                                      uint8_t* native, size_t capacity, size_t* out_length);

/* Maintenance of whole tables (the table tool's needs). */

typedef struct {
    uint32_t record_count;  /* records in the table now */
    uint8_t level;          /* format level, 3 to 7 */
    uint8_t file_version;   /* the header's version byte */
    uint16_t block_size;    /* bytes of a data block */
    uint16_t header_size;   /* bytes before the first block */
    uint16_t used_blocks;   /* blocks holding records */
    uint16_t file_blocks;   /* blocks in the file */
    uint8_t keyed;          /* the table has a primary key */
    uint8_t write_protected;
    uint8_t password_protected; /* the blocks are scrambled with a password's key */
} ke_table_info;

/* The primary key of the cursor's table. */
typedef struct {
    uint16_t key_fields;      /* the record's first key_fields fields form the key; 0: no key */
    uint16_t key_size;        /* bytes of a key */
    uint8_t order_known;      /* new records and changed keys can be put in key order */
    uint8_t index_levels;     /* levels of the primary index; 0 when it is empty or cannot be read */
    char sort_order[32];      /* the table's sort order (language driver) name */
    char unknown_order[256];  /* when the order is not known: why, naming the field and the sort order */
} ke_key_info;
KE_API ke_result ke_get_key_info(ke_cursor* cursor, ke_key_info* info);
/* Why the cursor's table can only be read, whatever mode the cursor was opened
 * in: the write-protection mark, a primary index that is missing or does not
 * match, secondary indexes or validity checks this engine does not keep up to
 * date, each named. text gets "" when the table can be written. */
KE_API ke_result ke_get_read_only_reason(ke_cursor* cursor, char* text, size_t capacity);
/* Rebuilds the primary index of a keyed table from its records, with the table
 * opened exclusively (KE_ERR_TABLE_IN_USE while anyone else has it open). The
 * records must be in key order with no key twice, as far as the order is known
 * (KE_ERR_CORRUPT_TABLE otherwise, naming the first record out of place). */
KE_API ke_result ke_rebuild_index(ke_database* db, const char* table_name);

/* Facts of the cursor's table as it is now; path (may be NULL) gets the host
 * path of its file, NUL-terminated, in capacity bytes. */
KE_API ke_result ke_get_table_info(ke_cursor* cursor, ke_table_info* info, char* path, size_t capacity);
/* As ke_set_directory, first creating the directories of the path that are missing. */
KE_API ke_result ke_create_directory(ke_database* db, const char* path);
/* Creates an empty unkeyed table in the database's directory with the fields'
 * name, type and size (characters, for alpha fields; fixed-size types ignore it)
 * and text in the given code page. A table of that name (in any case) is never
 * overwritten: KE_ERR_INVALID_PARAMETER. */
KE_API ke_result ke_create_table(ke_database* db, const char* table_name, const ke_field_desc* fields,
                                 uint16_t field_count, uint16_t code_page);
/* As ke_create_table, with the first key_fields fields as the primary key; an
 * empty primary index (the table's name with the extension .PX) is made beside
 * it, and neither file may exist yet. */
KE_API ke_result ke_create_keyed_table(ke_database* db, const char* table_name, const ke_field_desc* fields,
                                       uint16_t field_count, uint16_t code_page, uint16_t key_fields);
/* Appends count records (record_size bytes each, one after another) at the end
 * of the table as one change: all of them reach the file, or none does. The
 * cursor then stands on the last one. */
KE_API ke_result ke_append_records(ke_cursor* cursor, const uint8_t* records, size_t count);
/* Copies the table file to destination (a new file, readable by its owner only)
 * as it stands between changes: under the table's read lock, after rolling back
 * an interrupted change. The copy is synced, then read back from the disk and
 * compared with the table before the lock is released; a copy that fails is
 * removed. *bytes gets its length. A keyed table's primary index is copied
 * beside it (destination's name with the index's extension) under the same
 * lock, so that the two copies belong together. */
KE_API ke_result ke_copy_table(ke_cursor* cursor, const char* destination, uint64_t* bytes);
/* Puts the table file at backup (a copy of this table: the same structure and
 * password) back in place of the cursor's table, as one journalled change under
 * the table's write lock: every block and the header's counters become the
 * backup's, and the change count one more than the table's, so that other
 * cursors see the restored records as another user's changes. Read back and
 * compared with the backup before the lock is released. *bytes gets the
 * backup's length. A cursor opened read-write. */
KE_API ke_result ke_restore_table(ke_cursor* cursor, const char* backup, uint64_t* bytes);
/* A problem found by ke_check_table: one sentence of plain English, UTF-8. The
 * sink must not call the engine. */
typedef void (*ke_problem_sink)(void* context, const char* problem);
/* Reads every block of the table under its read lock and checks the header's
 * counters, the chain of record blocks in both directions and the list of free
 * blocks; for a keyed table also the keys' order (where it is known) and
 * uniqueness, and every entry of the primary index. Each problem goes to sink; *problems gets their number (0: sound). */
KE_API ke_result ke_check_table(ke_cursor* cursor, ke_problem_sink sink, void* context, uint32_t* problems);
/* Stores the whole table again under a new password (UTF-8, turned into the
 * table's code page; NULL or "" removes the protection), as one change: every
 * block or none. The cursor must be writable and opened with KE_SHARE_EXCLUSIVE,
 * so that no other user has the table open. The password does not keep the
 * data secret from anyone who has the file: the key is stored in it. */
KE_API ke_result ke_set_table_password(ke_cursor* cursor, const char* new_password);

#ifdef __cplusplus
}
#endif

#endif
