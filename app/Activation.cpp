#include "app/Activation.h"

#include <QGuiApplication>
#include <QWidget>

#ifdef VOKABIS_XCB
#include <QtGui/qguiapplication_platform.h>
#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>

namespace {

xcb_atom_t Atom(xcb_connection_t* c, const char* name) {
    xcb_intern_atom_reply_t* r = xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, uint16_t(std::strlen(name)), name), nullptr);
    const xcb_atom_t atom = r ? r->atom : xcb_atom_t(XCB_ATOM_NONE);
    std::free(r);
    return atom;
}

// The freedesktop startup notification "remove" message: the launch with this id is over. It goes
// to the root window in 20-byte pieces, the first of type _NET_STARTUP_INFO_BEGIN.
void EndLaunchFeedback(xcb_connection_t* c, xcb_window_t root, xcb_window_t from, const QByteArray& id) {
    QByteArray quoted = id;
    quoted.replace('\\', "\\\\").replace('"', "\\\"");
    const QByteArray message = "remove: ID=\"" + quoted + "\"" + '\0';
    const xcb_atom_t begin = Atom(c, "_NET_STARTUP_INFO_BEGIN"), more = Atom(c, "_NET_STARTUP_INFO");
    for (qsizetype at = 0; at < message.size(); at += 20) {
        xcb_client_message_event_t ev{};
        ev.response_type = XCB_CLIENT_MESSAGE;
        ev.format = 8;
        ev.window = from;
        ev.type = at == 0 ? begin : more;
        std::memcpy(ev.data.data8, message.constData() + at, size_t(std::min<qsizetype>(20, message.size() - at)));
        xcb_send_event(c, 0, root, XCB_EVENT_MASK_PROPERTY_CHANGE, reinterpret_cast<const char*>(&ev));
    }
}

quint32 ServerTimeNow() {
    // A connection of its own: Qt reads every event of its connection.
    int screen = 0;
    xcb_connection_t* c = xcb_connect(nullptr, &screen);
    quint32 time = 0;
    if (!xcb_connection_has_error(c)) {
        xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(c));
        for (int i = 0; i < screen && it.rem > 1; ++i) xcb_screen_next(&it);
        // A property changed on a window of ours comes back with the server's time.
        const xcb_window_t w = xcb_generate_id(c);
        const uint32_t events = XCB_EVENT_MASK_PROPERTY_CHANGE;
        xcb_create_window(c, 0, w, it.data->root, 0, 0, 1, 1, 0, XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT,
                          XCB_CW_EVENT_MASK, &events);
        xcb_change_property(c, XCB_PROP_MODE_APPEND, w, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 8, 0, nullptr);
        xcb_flush(c);
        while (xcb_generic_event_t* e = xcb_wait_for_event(c)) {
            const bool notify = (e->response_type & 0x7f) == XCB_PROPERTY_NOTIFY;
            if (notify) time = reinterpret_cast<xcb_property_notify_event_t*>(e)->time;
            std::free(e);
            if (notify) break;
        }
    }
    xcb_disconnect(c);
    return time;
}

// X11: ties the window to the launch, ends its feedback and asks the window manager to activate
// the window with the launch's time, as a new window of that launch would be. False when this is
// not X11 or nothing is known of the launch.
bool ActivateForLaunch(QWidget* window, const QByteArray& id, quint32 time) {
    if (id.isEmpty() && time == 0) return false;
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (!x11 || !x11->connection()) return false;
    xcb_connection_t* c = x11->connection();
    const auto win = xcb_window_t(window->winId());
    xcb_get_geometry_reply_t* g = xcb_get_geometry_reply(c, xcb_get_geometry(c, win), nullptr);
    if (!g) return false;
    const xcb_window_t root = g->root;
    std::free(g);
    if (!id.isEmpty()) {
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, win, Atom(c, "_NET_STARTUP_ID"), Atom(c, "UTF8_STRING"), 8,
                            uint32_t(id.size()), id.constData());
        EndLaunchFeedback(c, root, win, id);
    }
    xcb_client_message_event_t ev{};
    ev.response_type = XCB_CLIENT_MESSAGE;
    ev.format = 32;
    ev.window = win;
    ev.type = Atom(c, "_NET_ACTIVE_WINDOW");
    ev.data.data32[0] = 1; // asked by an application
    ev.data.data32[1] = time;
    xcb_send_event(c, 0, root, XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT,
                   reinterpret_cast<const char*>(&ev));
    xcb_flush(c);
    return true;
}

} // namespace
#endif

quint32 LaunchTime(const QString& startupId) {
#ifdef VOKABIS_XCB
    if (QGuiApplication::platformName() != "xcb") return 0;
    if (const qsizetype at = startupId.lastIndexOf("_TIME"); at >= 0)
        if (const quint32 t = startupId.mid(at + 5).toUInt(); t != 0) return t;
    return ServerTimeNow();
#else
    Q_UNUSED(startupId);
    return 0;
#endif
}

void BringToFront(QWidget* window, const QString& startupId, const QString& activationToken, quint32 launchTime) {
    if (window->isMinimized()) window->showNormal();
    window->raise();
    // Qt's Wayland plugin activates with the token found in the environment at that moment.
    if (!activationToken.isEmpty()) qputenv("XDG_ACTIVATION_TOKEN", activationToken.toUtf8());
#ifdef VOKABIS_XCB
    if (ActivateForLaunch(window, startupId.toUtf8(), launchTime)) return;
#else
    Q_UNUSED(startupId);
    Q_UNUSED(launchTime);
#endif
    window->activateWindow();
}
