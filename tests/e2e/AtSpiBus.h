#pragma once

#include <QDBusConnection>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <functional>

// A private accessibility bus for one test: a session bus of its own
// (dbus-daemon), the accessibility bus launcher on it, and a connection to the
// accessibility bus, through which the test reads and works a program's
// accessible objects the way a screen reader does (D-Bus calls on
// org.a11y.atspi.Accessible, Action and Text).
class AtSpiBus {
public:
    // An accessible object: the program's bus name and the object's path.
    struct Node {
        QString service;
        QString path;
        bool isNull() const { return service.isEmpty(); }
    };
    struct Action {
        QString name;
        QString keyBinding;
    };

    // The tools among dbus-daemon and at-spi-bus-launcher that are missing.
    static QString missingTools();

    AtSpiBus() = default;
    ~AtSpiBus();
    AtSpiBus(const AtSpiBus&) = delete;
    AtSpiBus& operator=(const AtSpiBus&) = delete;

    // Starts both buses; false with the reason.
    bool start(QString* error);
    // What a program needs to find the session bus.
    QString sessionAddress() const { return sessionAddress_; }

    // The applications registered on the bus.
    QList<Node> applications() const;
    QList<Node> children(const Node& node) const;
    QString roleName(const Node& node) const;
    QString name(const Node& node) const;
    QString description(const Node& node) const;
    // Visible and showing on the screen.
    bool showing(const Node& node) const;
    QList<Action> actions(const Node& node) const;
    // Runs the named action ("Press", "ShowMenu", "SetFocus"); false when the node has none.
    bool doAction(const Node& node, const QString& action) const;
    // The whole text of a text object.
    QString text(const Node& node) const;

    // The first node below `from` (depth first, showing ones only unless told
    // otherwise) with this role and name.
    Node find(const Node& from, const QString& role, const QString& name, bool showingOnly = true) const;
    // Waits (up to timeoutMs) until `ready` holds; false on time-out.
    static bool waitFor(const std::function<bool()>& ready, int timeoutMs = 10000);

private:
    QDBusMessage call(const Node& node, const QString& interface, const QString& method,
                      const QVariantList& args = {}) const;
    QVariant property(const Node& node, const QString& name) const;

    QProcess session_;
    QProcess launcher_;
    QString sessionAddress_;
    QString connectionName_;
};
