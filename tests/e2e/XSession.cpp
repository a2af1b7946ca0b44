#include "XSession.h"

#include <QElapsedTimer>
#include <QFile>
#include <QStandardPaths>
#include <QThread>

#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>

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

QString XSession::missingTools() {
    QStringList missing;
    for (const char* tool : {"xdotool", "import", "xprop"})
        if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty())
            missing << QString::fromLatin1(tool);
    return missing.join(QLatin1String(", "));
}

bool XSession::attach(QString* error) {
    display_ = qEnvironmentVariable("DISPLAY");
    if (display_.isEmpty()) {
        *error = QStringLiteral("no DISPLAY: run the test through scripts/private-x (CTest does)");
        return false;
    }
    QString out;
    if (!runTool(QStringLiteral("xdotool"), {QStringLiteral("getdisplaygeometry")}, env(), &out, 10000)) {
        *error = QStringLiteral("the X server on %1 does not answer: %2").arg(display_, out.trimmed());
        return false;
    }
    return true;
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

QString XSession::windowList() const {
    QString ids;
    if (!xdo({QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--name"), QStringLiteral(".*")},
             &ids, 5000))
        return QStringLiteral("(no visible window)");
    QStringList lines;
    for (const QString& id : ids.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        QString name;
        xdo({QStringLiteral("getwindowname"), id.trimmed()}, &name, 3000);
        const QRect r = geometry(id.trimmed().toULongLong());
        lines << QStringLiteral("  %1 at %2,%3 size %4x%5 \"%6\"")
                     .arg(id.trimmed())
                     .arg(r.x())
                     .arg(r.y())
                     .arg(r.width())
                     .arg(r.height())
                     .arg(name.trimmed());
    }
    return lines.join(QLatin1Char('\n'));
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

bool XSession::clickIn(qulonglong window, QPoint at, int button) const {
    return xdo({QStringLiteral("mousemove"), QStringLiteral("--window"), QString::number(window),
                QString::number(at.x()), QString::number(at.y()), QStringLiteral("sleep"), QStringLiteral("0.1"),
                QStringLiteral("click"), QString::number(button), QStringLiteral("sleep"), QStringLiteral("0.3")});
}

bool XSession::key(const QString& keys) const {
    // A pause after each key gives the program time to move the focus before
    // the next keys arrive.
    return xdo(QStringList{QStringLiteral("key"), QStringLiteral("--delay"), QStringLiteral("60")} +
               keys.split(QLatin1Char(' '), Qt::SkipEmptyParts) + QStringList{QStringLiteral("sleep"), QStringLiteral("0.3")});
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

bool XSession::requestClose(qulonglong window) const {
    xcb_connection_t* c = xcb_connect(display_.toLocal8Bit().constData(), nullptr);
    if (!c || xcb_connection_has_error(c)) {
        if (c)
            xcb_disconnect(c);
        return false;
    }
    auto atom = [c](const char* name) {
        xcb_intern_atom_reply_t* reply =
            xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, uint16_t(std::strlen(name)), name), nullptr);
        const xcb_atom_t a = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
        std::free(reply);
        return a;
    };
    xcb_client_message_event_t event;
    std::memset(&event, 0, sizeof event);
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = xcb_window_t(window);
    event.type = atom("WM_PROTOCOLS");
    event.data.data32[0] = atom("WM_DELETE_WINDOW");
    event.data.data32[1] = XCB_CURRENT_TIME;
    xcb_send_event(c, 0, xcb_window_t(window), XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char*>(&event));
    // A round trip before the connection closes: the server has then handled
    // the request. Closed right after the write, the server may notice the
    // hang-up first and drop what it had not read (seen as a close request
    // that now and then never reached the program).
    xcb_get_input_focus_reply_t* reply = xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr);
    const bool ok = reply != nullptr;
    std::free(reply);
    xcb_disconnect(c);
    return ok;
}

qulonglong XSession::focusedWindow() const {
    QString out;
    if (!xdo({QStringLiteral("getwindowfocus"), QStringLiteral("-f")}, &out))
        return 0;
    return out.trimmed().toULongLong();
}

qulonglong XSession::activeWindow() const {
    QString out;
    if (!xdo({QStringLiteral("getactivewindow")}, &out))
        return 0;
    return out.trimmed().toULongLong();
}

bool XSession::managed() const {
    return property(0, QStringLiteral("_NET_SUPPORTING_WM_CHECK")).contains(QLatin1String("window id"));
}

QString XSession::property(qulonglong window, const QString& name) const {
    QStringList args;
    if (window)
        args << QStringLiteral("-id") << QString::number(window);
    else
        args << QStringLiteral("-root");
    args << name;
    QString out;
    if (!runTool(QStringLiteral("xprop"), args, env(), &out, 10000))
        return {};
    const QString line = out.trimmed();
    if (line.contains(QLatin1String("not found")) || line.contains(QLatin1String("no such atom")))
        return {};
    const int eq = int(line.indexOf(QLatin1Char('=')));
    const int colon = int(line.indexOf(QLatin1Char(':')));
    const int at = eq >= 0 ? eq : colon;
    return at >= 0 ? line.mid(at + 1).trimmed() : line;
}
