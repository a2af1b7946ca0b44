// The windowing platform in a Wayland session, simulated by its environment
// variables, with a private X server standing in for XWayland. The program's
// application object is started in a child process with each environment and
// says which platform it runs on.
#include "PlatformChoice.h"
#include "TApplication.h"

#include <QGuiApplication>
#include <QMap>
#include <QProcess>
#include <QTest>
#include <cstdio>
#include <string>

namespace {

std::string choose(const QMap<QByteArray, QByteArray>& vars, bool onCommandLine = false) {
    return PlatformChoice::platformFor(
        [&vars](const char* name) -> const char* {
            const auto it = vars.find(QByteArray(name));
            return it == vars.end() ? nullptr : it->constData();
        },
        onCommandLine);
}

// The platform the program's application object runs on with this environment.
QString platformWith(const QMap<QString, QString>& set, const QStringList& unset, const QStringList& args = {}) {
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const QString& name : unset)
        env.remove(name);
    for (auto it = set.begin(); it != set.end(); ++it)
        env.insert(it.key(), it.value());
    env.insert(QStringLiteral("KARTOTEKA_PLATFORM_CHILD"), QStringLiteral("1"));
    child.setProcessEnvironment(env);
    child.start(QCoreApplication::applicationFilePath(), args);
    if (!child.waitForFinished(30000) || child.exitCode() != 0)
        return QStringLiteral("failed: ") + QString::fromLocal8Bit(child.readAllStandardError());
    return QString::fromUtf8(child.readAllStandardOutput()).trimmed();
}

} // namespace

class TestPlatformChoice : public QObject {
    Q_OBJECT
private slots:
    void choiceFromTheEnvironment() {
        const QByteArray x = ":5";
        // A Wayland session with XWayland: X11, Wayland only if X fails.
        QCOMPARE(choose({{"WAYLAND_DISPLAY", "wayland-0"}, {"DISPLAY", x}}), std::string("xcb;wayland"));
        QCOMPARE(choose({{"XDG_SESSION_TYPE", "wayland"}, {"DISPLAY", x}}), std::string("xcb;wayland"));
        // The user's own choice stands, in the environment or on the command line.
        QCOMPARE(choose({{"WAYLAND_DISPLAY", "wayland-0"}, {"DISPLAY", x}, {"QT_QPA_PLATFORM", "wayland"}}),
                 std::string());
        QCOMPARE(choose({{"WAYLAND_DISPLAY", "wayland-0"}, {"DISPLAY", x}}, true), std::string());
        // No X server to go to, or no Wayland session: Qt's own choice.
        QCOMPARE(choose({{"WAYLAND_DISPLAY", "wayland-0"}}), std::string());
        QCOMPARE(choose({{"WAYLAND_DISPLAY", "wayland-0"}, {"DISPLAY", ""}}), std::string());
        QCOMPARE(choose({{"DISPLAY", x}, {"XDG_SESSION_TYPE", "x11"}}), std::string());
        QCOMPARE(choose({}), std::string());
        // An empty QT_QPA_PLATFORM is no choice.
        QCOMPARE(choose({{"WAYLAND_DISPLAY", "wayland-0"}, {"DISPLAY", x}, {"QT_QPA_PLATFORM", ""}}),
                 std::string("xcb;wayland"));
    }

    void programInASimulatedWaylandSession() {
        if (qEnvironmentVariableIsEmpty("DISPLAY"))
            QSKIP("needs the private X server the test is registered with");
        const QMap<QString, QString> wayland{{QStringLiteral("WAYLAND_DISPLAY"), QStringLiteral("wayland-kartoteka-test")},
                                             {QStringLiteral("XDG_SESSION_TYPE"), QStringLiteral("wayland")}};
        QCOMPARE(platformWith(wayland, {QStringLiteral("QT_QPA_PLATFORM")}), QStringLiteral("xcb"));
        // A platform the user chose is kept.
        QMap<QString, QString> chosen = wayland;
        chosen.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        QCOMPARE(platformWith(chosen, {}), QStringLiteral("offscreen"));
        QCOMPARE(platformWith(wayland, {QStringLiteral("QT_QPA_PLATFORM")},
                              {QStringLiteral("-platform"), QStringLiteral("offscreen")}),
                 QStringLiteral("offscreen"));
    }
};

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsSet("KARTOTEKA_PLATFORM_CHILD")) {
        TApplication app(argc, argv);
        std::printf("%s\n", qPrintable(QGuiApplication::platformName()));
        return 0;
    }
    TApplication app(argc, argv);
    TestPlatformChoice test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_platform_choice.moc"
