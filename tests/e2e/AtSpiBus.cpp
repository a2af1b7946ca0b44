#include "AtSpiBus.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusVariant>
#include <QFile>
#include <QStandardPaths>
#include <QTest>

namespace {

const QString kLauncher = QStringLiteral("/usr/libexec/at-spi-bus-launcher");
const QString kAccessible = QStringLiteral("org.a11y.atspi.Accessible");
const QString kAction = QStringLiteral("org.a11y.atspi.Action");
const QString kConnection = QStringLiteral("kartoteka-test-a11y");

QVariant firstArgument(const QDBusMessage& reply) {
    return reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty() ? reply.arguments().constFirst()
                                                                                      : QVariant();
}

} // namespace

AtSpiBus::~AtSpiBus() {
    QDBusConnection::disconnectFromBus(kConnection);
    for (QProcess* p : {&launcher_, &session_}) {
        p->terminate();
        if (!p->waitForFinished(3000))
            p->kill();
        p->waitForFinished(3000);
    }
}

bool AtSpiBus::start(QString* error) {
    if (QStandardPaths::findExecutable(QStringLiteral("dbus-daemon")).isEmpty() || !QFile::exists(kLauncher))
        return false;
    session_.start(QStringLiteral("dbus-daemon"), {QStringLiteral("--session"), QStringLiteral("--nofork"),
                                                   QStringLiteral("--print-address=1")});
    if (!session_.waitForReadyRead(10000)) {
        *error = QStringLiteral("dbus-daemon did not start: ") + QString::fromUtf8(session_.readAllStandardError());
        return false;
    }
    sessionAddress_ = QString::fromUtf8(session_.readLine()).trimmed();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), sessionAddress_);
    launcher_.setProcessEnvironment(env);
    launcher_.start(kLauncher, {QStringLiteral("--launch-immediately")});
    QDBusConnection session = QDBusConnection::connectToBus(sessionAddress_, QStringLiteral("kartoteka-test-session"));
    QString address;
    (void)QTest::qWaitFor([&] {
        address = firstArgument(session.call(QDBusMessage::createMethodCall(
                                    QStringLiteral("org.a11y.Bus"), QStringLiteral("/org/a11y/bus"),
                                    QStringLiteral("org.a11y.Bus"), QStringLiteral("GetAddress"))))
                      .toString();
        return !address.isEmpty();
    }, 10000);
    QDBusConnection::disconnectFromBus(QStringLiteral("kartoteka-test-session"));
    if (address.isEmpty() || !QDBusConnection::connectToBus(address, kConnection).isConnected()) {
        *error = QStringLiteral("no accessibility bus (at-spi-bus-launcher)");
        return false;
    }
    return true;
}

QDBusMessage AtSpiBus::call(const Node& node, const QString& interface, const QString& method,
                            const QVariantList& args) const {
    QDBusMessage message = QDBusMessage::createMethodCall(node.service, node.path, interface, method);
    message.setArguments(args);
    return QDBusConnection(kConnection).call(message, QDBus::Block, 10000);
}

QString AtSpiBus::property(const Node& node, const QString& name) const {
    return firstArgument(call(node, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"),
                              {kAccessible, name}))
        .value<QDBusVariant>()
        .variant()
        .toString();
}

QList<AtSpiBus::Node> AtSpiBus::applications() const {
    return children({QStringLiteral("org.a11y.atspi.Registry"), QStringLiteral("/org/a11y/atspi/accessible/root")});
}

QList<AtSpiBus::Node> AtSpiBus::children(const Node& node) const {
    QList<Node> nodes;
    const QVariant list = firstArgument(call(node, kAccessible, QStringLiteral("GetChildren")));
    if (!list.isValid())
        return nodes;
    const auto argument = list.value<QDBusArgument>(); // a(so)
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

QString AtSpiBus::roleName(const Node& node) const {
    return firstArgument(call(node, kAccessible, QStringLiteral("GetRoleName"))).toString();
}

bool AtSpiBus::showing(const Node& node) const {
    QList<uint> words;
    const QVariant state = firstArgument(call(node, kAccessible, QStringLiteral("GetState")));
    if (state.isValid())
        state.value<QDBusArgument>() >> words;
    const quint64 bits = words.size() < 2 ? 0 : (quint64(words[1]) << 32) | words[0];
    constexpr quint64 visibleAndShowing = (1ull << 30) | (1ull << 25);
    return (bits & visibleAndShowing) == visibleAndShowing;
}

QStringList AtSpiBus::actions(const Node& node, QStringList* keys) const {
    QStringList names;
    const QVariant list = firstArgument(call(node, kAction, QStringLiteral("GetActions")));
    if (!list.isValid())
        return names;
    const auto argument = list.value<QDBusArgument>(); // a(sss): name, description, key binding
    argument.beginArray();
    while (!argument.atEnd()) {
        QString name, description, binding;
        argument.beginStructure();
        argument >> name >> description >> binding;
        argument.endStructure();
        names << name;
        if (keys)
            *keys << binding;
    }
    argument.endArray();
    return names;
}

QString AtSpiBus::actionKeys(const Node& node, const QString& action) const {
    QStringList keys;
    const qsizetype index = actions(node, &keys).indexOf(action);
    return index < 0 ? QString() : keys[index] + QStringLiteral("");
}

bool AtSpiBus::doAction(const Node& node, const QString& action) const {
    const qsizetype index = actions(node, nullptr).indexOf(action);
    return index >= 0 &&
           call(node, kAction, QStringLiteral("DoAction"), {int(index)}).type() == QDBusMessage::ReplyMessage;
}

QString AtSpiBus::text(const Node& node) const {
    return firstArgument(call(node, QStringLiteral("org.a11y.atspi.Text"), QStringLiteral("GetText"), {0, -1}))
        .toString();
}

AtSpiBus::Node AtSpiBus::find(const Node& from, const QString& role, const QString& name, bool showingOnly) const {
    for (const Node& child : children(from)) {
        if (showingOnly && !showing(child))
            continue;
        if (roleName(child) == role && this->name(child) == name)
            return child;
        if (const Node below = find(child, role, name, showingOnly); !below.isNull())
            return below;
    }
    return {};
}
