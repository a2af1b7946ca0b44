#include "AtSpiBus.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QElapsedTimer>
#include <QFile>
#include <QStandardPaths>
#include <QThread>

namespace {

const QString kLauncher = QStringLiteral("/usr/libexec/at-spi-bus-launcher");
const QString kAccessible = QStringLiteral("org.a11y.atspi.Accessible");

// a(so): a list of (bus name, object path).
QList<AtSpiBus::Node> nodesOf(const QVariant& value) {
    QList<AtSpiBus::Node> nodes;
    const auto argument = value.value<QDBusArgument>();
    argument.beginArray();
    while (!argument.atEnd()) {
        QString service;
        QDBusObjectPath path;
        argument.beginStructure();
        argument >> service >> path;
        argument.endStructure();
        nodes.append({service, path.path()});
    }
    argument.endArray();
    return nodes;
}

} // namespace

QString AtSpiBus::missingTools() {
    QStringList missing;
    if (QStandardPaths::findExecutable(QStringLiteral("dbus-daemon")).isEmpty())
        missing << QStringLiteral("dbus-daemon");
    if (!QFile::exists(kLauncher))
        missing << QStringLiteral("at-spi-bus-launcher (at-spi2-core)");
    return missing.join(QStringLiteral(", "));
}

AtSpiBus::~AtSpiBus() {
    if (!connectionName_.isEmpty())
        QDBusConnection::disconnectFromBus(connectionName_);
    for (QProcess* p : {&launcher_, &session_}) {
        if (p->state() == QProcess::NotRunning)
            continue;
        p->terminate();
        if (!p->waitForFinished(3000)) {
            p->kill();
            p->waitForFinished(3000);
        }
    }
}

bool AtSpiBus::start(QString* error) {
    session_.start(QStringLiteral("dbus-daemon"), {QStringLiteral("--session"), QStringLiteral("--nofork"),
                                                   QStringLiteral("--print-address=1")});
    if (!session_.waitForStarted(5000) || !session_.waitForReadyRead(10000)) {
        *error = QStringLiteral("dbus-daemon did not start: ") + QString::fromUtf8(session_.readAllStandardError());
        return false;
    }
    sessionAddress_ = QString::fromUtf8(session_.readLine()).trimmed();

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), sessionAddress_);
    launcher_.setProcessEnvironment(env);
    launcher_.start(kLauncher, {QStringLiteral("--launch-immediately")});
    if (!launcher_.waitForStarted(5000)) {
        *error = QStringLiteral("at-spi-bus-launcher did not start");
        return false;
    }
    QDBusConnection session = QDBusConnection::connectToBus(sessionAddress_, QStringLiteral("kartoteka-test-session"));
    QString address;
    const bool answered = waitFor([&] {
        QDBusMessage reply = session.call(QDBusMessage::createMethodCall(
            QStringLiteral("org.a11y.Bus"), QStringLiteral("/org/a11y/bus"), QStringLiteral("org.a11y.Bus"),
            QStringLiteral("GetAddress")));
        if (reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty())
            address = reply.arguments().constFirst().toString();
        return !address.isEmpty();
    });
    QDBusConnection::disconnectFromBus(QStringLiteral("kartoteka-test-session"));
    if (!answered) {
        *error = QStringLiteral("the accessibility bus gave no address");
        return false;
    }
    connectionName_ = QStringLiteral("kartoteka-test-a11y");
    if (!QDBusConnection::connectToBus(address, connectionName_).isConnected()) {
        *error = QStringLiteral("cannot connect to the accessibility bus at ") + address;
        return false;
    }
    return true;
}

QDBusMessage AtSpiBus::call(const Node& node, const QString& interface, const QString& method,
                            const QVariantList& args) const {
    QDBusMessage message = QDBusMessage::createMethodCall(node.service, node.path, interface, method);
    message.setArguments(args);
    return QDBusConnection(connectionName_).call(message, QDBus::Block, 10000);
}

QVariant AtSpiBus::property(const Node& node, const QString& name) const {
    const QDBusMessage reply = call(node, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"),
                                    {kAccessible, name});
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return {};
    return reply.arguments().constFirst().value<QDBusVariant>().variant();
}

QList<AtSpiBus::Node> AtSpiBus::applications() const {
    return children({QStringLiteral("org.a11y.atspi.Registry"), QStringLiteral("/org/a11y/atspi/accessible/root")});
}

QList<AtSpiBus::Node> AtSpiBus::children(const Node& node) const {
    const QDBusMessage reply = call(node, kAccessible, QStringLiteral("GetChildren"));
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return {};
    return nodesOf(reply.arguments().constFirst());
}

QString AtSpiBus::roleName(const Node& node) const {
    const QDBusMessage reply = call(node, kAccessible, QStringLiteral("GetRoleName"));
    return reply.arguments().isEmpty() ? QString() : reply.arguments().constFirst().toString();
}

QString AtSpiBus::name(const Node& node) const { return property(node, QStringLiteral("Name")).toString(); }

QString AtSpiBus::description(const Node& node) const {
    return property(node, QStringLiteral("Description")).toString();
}

bool AtSpiBus::showing(const Node& node) const {
    const QDBusMessage reply = call(node, kAccessible, QStringLiteral("GetState"));
    if (reply.arguments().isEmpty())
        return false;
    QList<uint> words;
    const auto argument = reply.arguments().constFirst().value<QDBusArgument>();
    argument >> words;
    const quint64 bits = words.size() < 2 ? 0 : (quint64(words[1]) << 32) | words[0];
    constexpr quint64 visible = 1ull << 30, shown = 1ull << 25; // the bus's VISIBLE and SHOWING
    return (bits & visible) && (bits & shown);
}

QList<AtSpiBus::Action> AtSpiBus::actions(const Node& node) const {
    QList<Action> list;
    const QDBusMessage reply = call(node, QStringLiteral("org.a11y.atspi.Action"), QStringLiteral("GetActions"));
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return list;
    const auto argument = reply.arguments().constFirst().value<QDBusArgument>();
    argument.beginArray();
    while (!argument.atEnd()) {
        QString name, description, keys;
        argument.beginStructure();
        argument >> name >> description >> keys;
        argument.endStructure();
        list.append({name, keys});
    }
    argument.endArray();
    return list;
}

bool AtSpiBus::doAction(const Node& node, const QString& action) const {
    const QList<Action> list = actions(node);
    for (int i = 0; i < list.size(); ++i)
        if (list[i].name == action)
            return call(node, QStringLiteral("org.a11y.atspi.Action"), QStringLiteral("DoAction"), {i}).type() ==
                   QDBusMessage::ReplyMessage;
    return false;
}

QString AtSpiBus::text(const Node& node) const {
    const QDBusMessage reply = call(node, QStringLiteral("org.a11y.atspi.Text"), QStringLiteral("GetText"), {0, -1});
    return reply.arguments().isEmpty() ? QString() : reply.arguments().constFirst().toString();
}

AtSpiBus::Node AtSpiBus::find(const Node& from, const QString& role, const QString& name, bool showingOnly) const {
    for (const Node& child : children(from)) {
        if (showingOnly && !showing(child))
            continue;
        if (roleName(child) == role && this->name(child) == name)
            return child;
        const Node below = find(child, role, name, showingOnly);
        if (!below.isNull())
            return below;
    }
    return {};
}

bool AtSpiBus::waitFor(const std::function<bool()>& ready, int timeoutMs) {
    QElapsedTimer timer;
    timer.start();
    while (!ready()) {
        if (timer.elapsed() > timeoutMs)
            return false;
        QThread::msleep(100);
    }
    return true;
}
