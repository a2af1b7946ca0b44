#pragma once

#include <QDBusMessage>
#include <QProcess>
#include <QString>
#include <QStringList>

// A private accessibility bus for one test: a session bus of its own
// (dbus-daemon) with the accessibility bus launcher on it, and a connection
// to the accessibility bus, through which the test reads and works a
// program's objects as a screen reader does (D-Bus calls on
// org.a11y.atspi.Accessible, Action and Text).
class AtSpiBus {
public:
    // An accessible object: its owner's bus name and its path.
    struct Node {
        QString service;
        QString path;
        bool isNull() const { return service.isEmpty(); }
    };

    ~AtSpiBus();
    // Starts both buses; false with the reason (empty when the tools are missing).
    bool start(QString* error);
    QString sessionAddress() const { return sessionAddress_; }

    // The applications registered on the bus.
    QList<Node> applications() const;
    QList<Node> children(const Node& node) const;
    QString roleName(const Node& node) const;
    // An org.a11y.atspi.Accessible property ("Name", "Description").
    QString property(const Node& node, const QString& name) const;
    QString name(const Node& node) const { return property(node, QStringLiteral("Name")); }
    bool showing(const Node& node) const; // visible and on the screen
    // The key binding of the named action, or a null string when the node has no such action.
    QString actionKeys(const Node& node, const QString& action) const;
    // Runs the named action ("Press", "SetFocus"); false when the node has none.
    bool doAction(const Node& node, const QString& action) const;
    QString text(const Node& node) const;

    // The first node below `from`, depth first, with this role and name
    // (showing ones only unless told otherwise).
    Node find(const Node& from, const QString& role, const QString& name, bool showingOnly = true) const;

private:
    QStringList actions(const Node& node, QStringList* keys) const;
    QDBusMessage call(const Node& node, const QString& interface, const QString& method,
                      const QVariantList& args = {}) const;

    QProcess session_;
    QProcess launcher_;
    QString sessionAddress_;
};
