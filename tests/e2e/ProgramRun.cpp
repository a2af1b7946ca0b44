#include "ProgramRun.h"

#include <QFile>

#include <grp.h>
#include <unistd.h>

ProgramRun::ProgramRun(const XSession& x, QString program, QString home)
    : x_(x), program_(std::move(program)), home_(std::move(home)) {}

ProgramRun::~ProgramRun() {
    if (process_.state() != QProcess::NotRunning) {
        process_.kill();
        process_.waitForFinished(5000);
    }
}

void ProgramRun::setUser(uid_t user, gid_t group) {
    process_.setChildProcessModifier([user, group] {
        if (::setgroups(0, nullptr) != 0 || ::setgid(group) != 0 || ::setuid(user) != 0)
            ::_exit(126);
    });
}

bool ProgramRun::start() {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), home_);
    env.remove(QStringLiteral("XDG_CONFIG_HOME"));
    env.remove(QStringLiteral("XDG_DATA_HOME"));
    env.remove(QStringLiteral("KARTOTEKA_ENGINE_CONFIG"));
    env.insert(QStringLiteral("DISPLAY"), x_.display());
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
    process_.setProcessEnvironment(env);
    process_.setProcessChannelMode(QProcess::MergedChannels);
    process_.setStandardOutputFile(logDir_.filePath(QStringLiteral("output.txt")));
    process_.start(program_, {});
    return process_.waitForStarted(10000);
}

QString ProgramRun::diagnosis() const {
    QString state = process_.state() == QProcess::NotRunning
                        ? QStringLiteral("the program has ended (exit code %1)").arg(process_.exitCode())
                        : QStringLiteral("the program is running");
    QFile log(logDir_.filePath(QStringLiteral("output.txt")));
    const QString output = log.open(QIODevice::ReadOnly) ? QString::fromUtf8(log.readAll()).trimmed() : QString();
    return QStringLiteral("%1\nvisible windows:\n%2\nprogram output:\n%3")
        .arg(state, x_.windowList(), output.isEmpty() ? QStringLiteral("  (none)") : output);
}
