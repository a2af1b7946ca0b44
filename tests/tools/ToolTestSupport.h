// Running kartoteka-table as a user would, and looking at what it left.
#pragma once

#include "EngineTestSupport.h"
#include "WriteFaults.h"

#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>

namespace tooltest {

using enginetest::fileBytes;

struct Result {
    int code;
    QString out, err;
    QByteArray bytes; // standard output as it came
};

inline QString toolPath() { return qEnvironmentVariable("KARTOTEKA_BINARY_DIR") + "/bin/kartoteka-table"; }

inline Result runTool(const QStringList& args, const QByteArray& input = {},
                      const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment())
{
    QProcess p;
    p.setProcessEnvironment(env);
    // No controlling terminal: a tool that would ask for a password must not
    // wait on the terminal of whoever runs the tests.
    p.setChildProcessModifier([] { ::setsid(); });
    p.start(toolPath(), args);
    p.waitForStarted();
    if (!input.isEmpty())
        p.write(input);
    p.closeWriteChannel();
    p.waitForFinished(120000);
    const QByteArray out = p.readAllStandardOutput();
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, QString::fromUtf8(out),
            QString::fromUtf8(p.readAllStandardError()), out};
}

inline void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
}

inline unsigned modeOf(const QString& path)
{
    struct stat st {};
    return ::stat(path.toUtf8().constData(), &st) == 0 ? unsigned(st.st_mode & 07777) : 0u;
}

// Appends rows to a client table through the engine's own cursor.
inline void appendRows(const QString& path, const std::vector<enginetest::Row>& rows)
{
    ke::Cursor c(path.toStdString(), {});
    for (const auto& row : rows) {
        c.setToEnd();
        const auto r = enginetest::makeRecord(c.header(), row);
        c.insert(r.data(), false);
    }
}

// Cards 1..n as clientRow makes them.
inline std::vector<enginetest::Row> clients(int from, int to)
{
    std::vector<enginetest::Row> rows;
    for (int n = from; n <= to; ++n)
        rows.push_back(enginetest::clientRow(n));
    return rows;
}

// The engine's failure of `f` (code KE_OK when it went through).
inline ke::EngineError failureOf(const std::function<void()>& f)
{
    try {
        f();
    } catch (const ke::EngineError& e) {
        return e;
    }
    return {KE_OK, 0, {}};
}

// Another process (after `setup`, say taking another account) starts to
// change card `index` and dies once the journal and the changed block are
// written, before the header: half a change on the disk. Its exit status: 0
// when it died so, 1 when the change went through (-1: it failed).
inline int dieWhileChanging(const QString& table, int index, const std::function<void()>& setup = {})
{
    const pid_t pid = fork();
    if (pid == 0) {
        if (setup)
            setup();
        ke::Cursor c(table.toStdString(), {});
        std::vector<uint8_t> rec(c.header().recordSize);
        for (c.setToBegin(); index-- >= 0;)
            c.next(false, rec.data());
        static ke::faults::DyingDisk dying(ke::disk::current(), 3); // journal, block, then the header
        ke::disk::install(&dying);
        const auto changed = enginetest::makeRecord(c.header(), {"0", "Недописанная"});
        c.modify(changed.data(), true);
        _exit(1);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

} // namespace tooltest
