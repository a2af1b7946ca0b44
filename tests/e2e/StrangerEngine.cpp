// A library under the engine's file name, planted in the folder a program
// starts from. No program may load it from there: once loaded, it leaves a
// mark (the file named by KARTOTEKA_STRANGER_MARK) and ends the process.
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>

__attribute__((constructor)) static void leaveMark() {
    if (const char* mark = std::getenv("KARTOTEKA_STRANGER_MARK")) {
        const int fd = ::open(mark, O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
        if (fd >= 0)
            ::close(fd);
    }
    ::_exit(97);
}
