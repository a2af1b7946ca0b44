#pragma once

#include "XSession.h"

#include <QProcess>
#include <QString>
#include <QTemporaryDir>

#include <sys/types.h>

// The real program started on the test's X server with a home directory of its
// own; its output goes to a file so that a failed wait can show it.
class ProgramRun {
public:
    // home: the HOME the program sees (its drive map's default place lies below it).
    ProgramRun(const XSession& x, QString program, QString home);
    ~ProgramRun();
    ProgramRun(const ProgramRun&) = delete;
    ProgramRun& operator=(const ProgramRun&) = delete;

    // Before start: the folder the program starts in (else the test's own),
    // and the user and group it runs as (else the test's own; needs root).
    void setWorkingDirectory(const QString& folder) { process_.setWorkingDirectory(folder); }
    void setUser(uid_t user, gid_t group);

    bool start();
    QProcess& process() { return process_; }
    // What a failure report needs: whether the program still runs, the
    // visible windows, the program's output.
    QString diagnosis() const;

private:
    const XSession& x_;
    QString program_;
    QString home_;
    QTemporaryDir logDir_;
    QProcess process_;
};
