#include "XSession.h"

#include <QElapsedTimer>
#include <QFile>
#include <QStandardPaths>
#include <QThread>

namespace {

bool runTool(const QString& program, const QStringList& args, const QProcessEnvironment& env,
             QString* output, int timeoutMs) {
    QProcess p;
    p.setProcessEnvironment(env);
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program, args);
    if (!p.waitForStarted(5000))
        return false;
    if (!p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished(2000);
        return false;
    }
    if (output)
        *output = QString::fromUtf8(p.readAll());
    return p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

} // namespace

XSession::~XSession() {
    if (server_.state() != QProcess::NotRunning) {
        server_.terminate();
        if (!server_.waitForFinished(5000)) {
            server_.kill();
            server_.waitForFinished(2000);
        }
    }
}

QString XSession::missingTools() {
    QStringList missing;
    for (const char* tool : {"Xvfb", "xdotool", "import", "setxkbmap"})
        if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty())
            missing << QString::fromLatin1(tool);
    return missing.join(QLatin1String(", "));
}

bool XSession::start(QString* error) {
    // The first display number with neither a lock file nor a socket.
    int number = 90;
    for (; number < 190; ++number)
        if (!QFile::exists(QStringLiteral("/tmp/.X%1-lock").arg(number)) &&
            !QFile::exists(QStringLiteral("/tmp/.X11-unix/X%1").arg(number)))
            break;
    display_ = QStringLiteral(":%1").arg(number);
    server_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    server_.start(QStringLiteral("Xvfb"), {display_, QStringLiteral("-screen"), QStringLiteral("0"),
                                           QStringLiteral("1024x768x24"), QStringLiteral("-nolisten"),
                                           QStringLiteral("tcp")});
    if (!server_.waitForStarted(5000)) {
        *error = QStringLiteral("Xvfb did not start");
        return false;
    }
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < 10000) {
        if (server_.state() == QProcess::NotRunning) {
            *error = QStringLiteral("Xvfb ended at once on %1").arg(display_);
            return false;
        }
        if (runTool(QStringLiteral("xdotool"), {QStringLiteral("getdisplaygeometry")}, env(), nullptr, 2000)) {
            useRussianKeyboard();
            return true;
        }
        QThread::msleep(100);
    }
    *error = QStringLiteral("Xvfb on %1 did not answer").arg(display_);
    return false;
}

void XSession::useRussianKeyboard() const {
    // With the Russian layout the Cyrillic letters lie on ordinary keys.
    // Otherwise xdotool has to put each letter on a spare key code while the
    // program runs, and the program loses some of those key presses.
    runTool(QStringLiteral("setxkbmap"), {QStringLiteral("-layout"), QStringLiteral("ru")}, env(), nullptr, 10000);
}

QProcessEnvironment XSession::env() const {
    QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
    e.insert(QStringLiteral("DISPLAY"), display_);
    e.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
    return e;
}

bool XSession::xdo(const QStringList& args, QString* output, int timeoutMs) const {
    return runTool(QStringLiteral("xdotool"), args, env(), output, timeoutMs);
}

qulonglong XSession::waitForWindow(const QString& namePattern, int timeoutMs) const {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < timeoutMs) {
        QString out;
        if (xdo({QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--name"), namePattern},
                &out, 3000)) {
            const QStringList ids = out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
            if (!ids.isEmpty())
                return ids.last().trimmed().toULongLong();
        }
        QThread::msleep(100);
    }
    return 0;
}

bool XSession::waitForWindowGone(const QString& namePattern, int timeoutMs) const {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < timeoutMs) {
        QString out;
        // xdotool search fails when nothing matches.
        if (!xdo({QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--name"), namePattern},
                 &out, 3000))
            return true;
        QThread::msleep(100);
    }
    return false;
}

QRect XSession::geometry(qulonglong window) const {
    QString out;
    if (!xdo({QStringLiteral("getwindowgeometry"), QStringLiteral("--shell"), QString::number(window)}, &out))
        return {};
    int x = 0, y = 0, w = 0, h = 0;
    for (const QString& line : out.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        const QString key = line.section(QLatin1Char('='), 0, 0);
        const int value = line.section(QLatin1Char('='), 1).toInt();
        if (key == QLatin1String("X")) x = value;
        else if (key == QLatin1String("Y")) y = value;
        else if (key == QLatin1String("WIDTH")) w = value;
        else if (key == QLatin1String("HEIGHT")) h = value;
    }
    return QRect(x, y, w, h);
}

bool XSession::focus(qulonglong window) const {
    return xdo({QStringLiteral("windowfocus"), QString::number(window)});
}

bool XSession::click(int x, int y) const {
    return xdo({QStringLiteral("mousemove"), QString::number(x), QString::number(y), QStringLiteral("sleep"),
                QStringLiteral("0.1"), QStringLiteral("click"), QStringLiteral("1"),
                QStringLiteral("sleep"), QStringLiteral("0.3")});
}

bool XSession::key(const QString& keys) const {
    // A pause after each key gives the program time to move the focus before
    // the next keys arrive.
    return xdo({QStringLiteral("key"), QStringLiteral("--delay"), QStringLiteral("60"), keys,
                QStringLiteral("sleep"), QStringLiteral("0.3")});
}

bool XSession::type(const QString& text) const {
    // Typed faster, a loaded machine loses some key presses on the way.
    return xdo({QStringLiteral("sleep"), QStringLiteral("0.3"), QStringLiteral("type"), QStringLiteral("--delay"),
                QStringLiteral("150"), text},
               nullptr, 30000);
}

bool XSession::screenshot(const QString& file) const {
    return runTool(QStringLiteral("import"), {QStringLiteral("-window"), QStringLiteral("root"), file}, env(),
                   nullptr, 20000);
}
