// libFuzzer target: any bytes as a table file. Opening it, reading every
// record forwards and backwards, converting every value, and one insert and
// one delete must end in a result or an error, never a crash or a read out of bounds.
// Tables protected with the password "secret" open too, so that their blocks
// go through the unscrambling and scrambling paths.
#include "CodePage.h"
#include "Cursor.h"
#include "EngineError.h"
#include "FieldCodec.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

std::string tablePath()
{
    static std::string path = [] {
        // Memory-backed storage keeps the syncs of the insert and delete cheap.
        char dir[] = "/dev/shm/kartoteka-fuzz-XXXXXX";
        char fallback[] = "/tmp/kartoteka-fuzz-XXXXXX";
        const char* made = mkdtemp(dir) ? dir : mkdtemp(fallback);
        if (!made)
            std::abort();
        static std::string directory = made;
        std::atexit([] {
            ::unlink((directory + "/data.DB-journal").c_str());
            ::unlink((directory + "/data.DB").c_str());
            ::rmdir(directory.c_str());
        });
        return directory + "/data.DB";
    }();
    return path;
}

ke::OpenOptions protectedOptions(bool readOnly)
{
    ke::OpenOptions o;
    o.readOnly = readOnly;
    o.passwords = {"secret"};
    return o;
}

void readAll(ke::Cursor& c, bool forwards)
{
    const ke::TableHeader& h = c.header();
    std::vector<uint8_t> rec(h.recordSize);
    if (forwards)
        c.setToBegin();
    else
        c.setToEnd();
    for (int i = 0; i < 5000; ++i) {
        if (forwards)
            c.next(false, rec.data());
        else
            c.prior(false, rec.data());
        for (const auto& f : h.fields)
            ke::codec::toText(f, rec.data(), h.textCodePage());
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string path = tablePath();
    ::unlink((path + "-journal").c_str());
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (fd < 0)
        std::abort();
    if (size && ::write(fd, data, size) != ssize_t(size))
        std::abort();
    ::close(fd);

    for (bool forwards : {true, false}) {
        try {
            ke::Cursor c(path, protectedOptions(true));
            for (const auto& f : c.header().fields)
                if (const ke::CodePage* cp = ke::CodePage::get(c.header().textCodePage()))
                    cp->toUtf8(reinterpret_cast<const uint8_t*>(f.rawName.data()), f.rawName.size());
            readAll(c, forwards);
        } catch (const ke::EngineError&) {
        }
    }
    try {
        ke::Cursor c(path, protectedOptions(false));
        std::vector<uint8_t> rec(c.header().recordSize, 0x41);
        c.setToBegin();
        c.next(false, rec.data());
        c.insert(rec.data(), false);
        c.next(false, rec.data());
        c.remove();
        readAll(c, true);
    } catch (const ke::EngineError&) {
    }
    return 0;
}
