#include "X11Windows.h"

#include <QGuiApplication>

#if KARTOTEKA_HAVE_XCB
#include <xcb/xcb.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

struct FreeReply {
    void operator()(void* reply) const { std::free(reply); }
};
template <class T> using Reply = std::unique_ptr<T, FreeReply>;

xcb_connection_t* connection() {
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->connection() : nullptr;
}

xcb_window_t rootOf(xcb_connection_t* c) {
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    return screen ? screen->root : 0;
}

xcb_atom_t atom(xcb_connection_t* c, const char* name) {
    Reply<xcb_intern_atom_reply_t> reply(
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 1, uint16_t(std::strlen(name)), name), nullptr));
    return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
}

// A property of type ATOM or WINDOW on the root window, as a list of ids.
QList<uint32_t> rootList(xcb_connection_t* c, const char* name, xcb_atom_t type) {
    const xcb_atom_t property = atom(c, name);
    if (property == XCB_ATOM_NONE)
        return {};
    Reply<xcb_get_property_reply_t> reply(
        xcb_get_property_reply(c, xcb_get_property(c, 0, rootOf(c), property, type, 0, 65536), nullptr));
    if (!reply || reply->format != 32 || reply->type != type)
        return {};
    const auto* values = static_cast<const uint32_t*>(xcb_get_property_value(reply.get()));
    const int count = xcb_get_property_value_length(reply.get()) / 4;
    return QList<uint32_t>(values, values + count);
}

// The window manager's check window, when one runs and is still alive.
bool managerRuns(xcb_connection_t* c) {
    const QList<uint32_t> check = rootList(c, "_NET_SUPPORTING_WM_CHECK", XCB_ATOM_WINDOW);
    if (check.isEmpty())
        return false;
    Reply<xcb_get_window_attributes_reply_t> alive(
        xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, check.first()), nullptr));
    return bool(alive);
}

} // namespace

namespace X11Windows {

bool available() { return connection() != nullptr; }

bool managerActivates() {
    xcb_connection_t* c = connection();
    if (!c || !managerRuns(c))
        return false;
    return rootList(c, "_NET_SUPPORTED", XCB_ATOM_ATOM).contains(atom(c, "_NET_ACTIVE_WINDOW"));
}

QList<QWidget*> frontToBack(const QList<QWidget*>& windows) {
    xcb_connection_t* c = connection();
    if (!c)
        return {};
    QList<uint32_t> bottomToTop;
    if (managerRuns(c)) {
        bottomToTop = rootList(c, "_NET_CLIENT_LIST_STACKING", XCB_ATOM_WINDOW);
    } else {
        Reply<xcb_query_tree_reply_t> tree(xcb_query_tree_reply(c, xcb_query_tree(c, rootOf(c)), nullptr));
        if (tree) {
            const xcb_window_t* children = xcb_query_tree_children(tree.get());
            bottomToTop = QList<uint32_t>(children, children + xcb_query_tree_children_length(tree.get()));
        }
    }
    QList<QWidget*> order;
    for (auto it = bottomToTop.crbegin(); it != bottomToTop.crend(); ++it)
        for (QWidget* window : windows)
            if (window->internalWinId() == WId(*it) && !order.contains(window))
                order << window;
    return order;
}

void focusWithoutManager(QWidget* window) {
    xcb_connection_t* c = connection();
    if (!c || !window || !window->internalWinId())
        return;
    xcb_set_input_focus(c, XCB_INPUT_FOCUS_PARENT, xcb_window_t(window->internalWinId()), XCB_CURRENT_TIME);
    xcb_flush(c);
}

void skipTaskbar(QWidget* window) {
    xcb_connection_t* c = connection();
    if (!c || !window || !window->internalWinId())
        return;
    const auto id = xcb_window_t(window->internalWinId());
    const xcb_atom_t state = atom(c, "_NET_WM_STATE");
    const xcb_atom_t skip = atom(c, "_NET_WM_STATE_SKIP_TASKBAR");
    if (state == XCB_ATOM_NONE || skip == XCB_ATOM_NONE)
        return;
    Reply<xcb_get_property_reply_t> reply(
        xcb_get_property_reply(c, xcb_get_property(c, 0, id, state, XCB_ATOM_ATOM, 0, 1024), nullptr));
    if (reply && reply->format == 32 && reply->type == XCB_ATOM_ATOM) {
        const auto* values = static_cast<const uint32_t*>(xcb_get_property_value(reply.get()));
        const int count = xcb_get_property_value_length(reply.get()) / 4;
        if (std::find(values, values + count, skip) != values + count)
            return;
    }
    xcb_change_property(c, XCB_PROP_MODE_APPEND, id, state, XCB_ATOM_ATOM, 32, 1, &skip);
    xcb_flush(c);
}

} // namespace X11Windows

#else

namespace X11Windows {
bool available() { return false; }
bool managerActivates() { return false; }
QList<QWidget*> frontToBack(const QList<QWidget*>&) { return {}; }
void focusWithoutManager(QWidget*) {}
void skipTaskbar(QWidget*) {}
} // namespace X11Windows

#endif
