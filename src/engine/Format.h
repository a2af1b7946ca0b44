// Where the table file and its companions keep things: the offsets and
// constants of the on-disk layout. docs/TABLE-FORMAT.md says the same in prose;
// change both together. Byte order helpers are in Endian.h, field values in
// FieldCodec.
#pragma once

#include <cstddef>
#include <cstdint>

namespace ke {

// The table header. Its fixed part starts every file.
namespace hdr {
constexpr size_t RecordSize = 0x00, HeaderSize = 0x02, FileType = 0x04, MaxTableSize = 0x05,
                 NumRecords = 0x06, UsedBlocks = 0x0A, FileBlocks = 0x0C, FirstBlock = 0x0E,
                 LastBlock = 0x10, NumFields = 0x21, KeyFields = 0x23, Encryption1 = 0x25,
                 SortOrder = 0x29, ChangeCount1 = 0x2D, WriteProtected = 0x38, FileVersion = 0x39,
                 MaxBlocks = 0x3A, Unknown3E = 0x3E, Unknown3F = 0x3F, FirstFreeBlock = 0x4D,
                 TableNamePointer = 0x51, RefIntegrity = 0x55, Unknown56 = 0x56;
// The part of the header that holds every counter a change updates.
constexpr size_t MutablePart = 0x58;
// Level 4 and later: the data header that follows the fixed part.
constexpr size_t FileVersionId1 = 0x58, FileVersionId2 = 0x5A, Encryption2 = 0x5C, FieldCountPlusOne = 0x64,
                 CodePage = 0x6A;
// Where the field descriptors start: after the fixed part (level 3) or the data header.
constexpr size_t FieldsAtLevel3 = 0x58, FieldsAtLevel4 = 0x78;
// Level 4 and later keep this marker in Encryption1 and the key in Encryption2.
constexpr uint32_t KeyInDataHeader = 0xFF00FF00u;
// The table name stored in the header: 79 bytes, 261 from level 7 (version 12).
constexpr size_t TableNameLength = 79, LongTableNameLength = 261;
// The header takes whole 2 KiB units, at most 62 of them.
constexpr size_t HeaderUnit = 0x800, MaxHeaderSize = 0xF800;
// Values the program writes into a new table where readers expect them.
constexpr uint8_t Unknown3EValue = 0x1F, Unknown3FValue = 0x0F, Unknown56Value = 0x20;
} // namespace hdr

// The primary index beside a keyed table ("<table>.PX"). Its header keeps the
// fixed part of a table header (the block counters at the same offsets) and
// the key fields' descriptors at 0x58; its blocks hold entries of the key's
// bytes followed by three words coded like Short values: the block pointed
// to, the records beneath the entry, and a word that is 0.
namespace idx {
constexpr size_t EntrySize = 0x00, HeaderSize = 0x02, FileType = 0x04, BlockSizeCode = 0x05, NumEntries = 0x06,
                 UsedBlocks = 0x0A, FileBlocks = 0x0C, FirstBlock = 0x0E, LastBlock = 0x10, Unknown12 = 0x12,
                 Root = 0x1E, Levels = 0x20, NumKeyFields = 0x21, Encryption = 0x25, SortOrder = 0x29,
                 ChangeCount = 0x2C, FileVersion = 0x39, MaxBlocks = 0x3A, Unknown49 = 0x49, FirstFreeBlock = 0x4D,
                 EndOfHeader = 0x51, Descriptors = 0x58;
// The words behind an entry's key, and the bytes they take.
constexpr size_t WordBytes = 2, EntryTail = 6;
// Values a new index gets where other writers put them.
constexpr uint8_t NewChangeCount = 102;
constexpr uint16_t NewUnknown12 = 17;
constexpr uint32_t NewUnknown49 = 1;
// An entry's count is a Short value: never more than this.
constexpr uint32_t MaxCount = 32767;
} // namespace idx

// A data block: a 6-byte header, then the records packed from the start.
namespace blk {
constexpr size_t Next = 0, Prev = 2, LastOffset = 4, Records = 6;
constexpr size_t HeaderBytes = 6;
} // namespace blk

// The rollback journal beside a table ("<table>-journal"): the magic (its
// seventh byte is the version), then little-endian 64-bit words:
// - the identity record: its number of words (4), then the device, inode and
//   birth time (seconds, nanoseconds; 0 where the file system keeps none) of
//   the table file the journal was written for;
// - the table's length before the change and after it;
// - the number of entries; each entry's offset and length, its original bytes,
//   then one word per 512-byte chunk of the region (from its start): the FNV-1a
//   hash of the bytes the change writes there (0 for a chunk the change cuts off);
// - last, an FNV-1a hash of everything before it.
// Version 1 ("KTJOUR1\n") has only the original length and the entries'
// offsets, lengths and bytes. Version 3 ("KTJOUR3\n"), the change of a keyed
// table and its primary index, has after the entries the index's part: the
// length of its file name, the name's bytes (the file lies in the table's
// folder), then its identity record, lengths and entries as the table's. A
// later version keeps the prefix "KTJOUR".
namespace journal {
constexpr char Magic[8] = {'K', 'T', 'J', 'O', 'U', 'R', '2', '\n'};
constexpr char MagicVersion1[8] = {'K', 'T', 'J', 'O', 'U', 'R', '1', '\n'};
constexpr char MagicWithCompanion[8] = {'K', 'T', 'J', 'O', 'U', 'R', '3', '\n'};
constexpr size_t MagicBytes = 8, VersionAt = 6, WordBytes = 8, ChunkBytes = 512, IdentityWords = 4;
} // namespace journal

// Locks are open-file-description locks on bytes far past any table's end, so
// they never touch data, conflict between two cursors of one process as they
// do between processes, and vanish with the process that held them.
namespace lockbyte {
// Shared while a call reads, exclusive while a change is written.
constexpr uint64_t Transaction = uint64_t(1) << 40;
// Shared for the life of a shared open, exclusive for an exclusive one.
constexpr uint64_t Share = Transaction + 1;
// One byte per record lock, chosen by a hash of the record's bytes.
constexpr uint64_t RecordBase = Transaction + 16;
constexpr uint64_t RecordMask = 0x7FFFFFFFu;
constexpr uint64_t recordByte(uint64_t hash) { return RecordBase + (hash & RecordMask); }
} // namespace lockbyte

} // namespace ke
