// What the engine benchmarks share: large tables written straight as fully
// packed blocks (building one through single inserts would take hours of
// syncs), a folder opened as a database, a call that must succeed.
#pragma once

#include "Endian.h"
#include "Format.h"
#include "TableCreator.h"
#include "TableHeader.h"
#include "kartoteka_engine.h"

#include <cstdio>
#include <cstdlib>

#include <fstream>
#include <functional>
#include <string>
#include <vector>

namespace bench {

inline void check(ke_result r, const char* what)
{
    if (r != KE_OK) {
        std::fprintf(stderr, "%s failed: $%04x\n", what, r);
        std::exit(1);
    }
}

// The engine started and `dir` opened as its database.
inline ke_database* openFolder(const std::string& dir)
{
    check(ke_init(nullptr), "init");
    ke_database* db = nullptr;
    check(ke_open_database(nullptr, KE_OPEN_READ_WRITE, KE_SHARE_SHARED, nullptr, &db), "open database");
    check(ke_set_directory(db, dir.c_str()), "set directory");
    return db;
}

// `fill(record, n)` writes record n (from 0) into its zeroed bytes.
inline void writePackedTable(const std::string& path, const ke::NewTable& layout, int records,
                             const std::function<void(uint8_t*, int)>& fill)
{
    ke::createTable(path, layout);
    std::fstream f(path, std::ios::in | std::ios::out | std::ios::binary);
    std::vector<uint8_t> header(0x800);
    f.read(reinterpret_cast<char*>(header.data()), long(header.size()));
    const ke::TableHeader h = ke::TableHeader::parse(header.data(), header.size(), header.size(), path);
    const int recordSize = h.recordSize, blockSize = int(h.blockSize), perBlock = h.capacity();
    const int blocks = (records + perBlock - 1) / perBlock;
    std::vector<uint8_t> block(static_cast<size_t>(blockSize));
    int written = 0;
    f.seekp(long(header.size()));
    for (int b = 1; b <= blocks; ++b) {
        std::fill(block.begin(), block.end(), 0);
        const int n = std::min(perBlock, records - written);
        ke::putLe16(&block[ke::blk::Next], uint16_t(b < blocks ? b + 1 : 0));
        ke::putLe16(&block[ke::blk::Prev], uint16_t(b - 1));
        ke::putLe16(&block[ke::blk::LastOffset], uint16_t((n - 1) * recordSize));
        for (int i = 0; i < n; ++i)
            fill(&block[ke::blk::Records + size_t(i) * size_t(recordSize)], written + i);
        written += n;
        f.write(reinterpret_cast<const char*>(block.data()), blockSize);
    }
    ke::putLe32(&header[ke::hdr::NumRecords], uint32_t(records));
    ke::putLe16(&header[ke::hdr::UsedBlocks], uint16_t(blocks));
    ke::putLe16(&header[ke::hdr::FileBlocks], uint16_t(blocks));
    ke::putLe16(&header[ke::hdr::FirstBlock], uint16_t(blocks ? 1 : 0));
    ke::putLe16(&header[ke::hdr::LastBlock], uint16_t(blocks));
    ke::putLe16(&header[ke::hdr::MaxBlocks], uint16_t(blocks));
    f.seekp(0);
    f.write(reinterpret_cast<const char*>(header.data()), long(header.size()));
}

} // namespace bench
