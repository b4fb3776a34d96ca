#include "ui/x11_window.h"

#include <xcb/xcb.h>

#include <QGuiApplication>
#include <QWidget>
#include <QWindow>
#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
#include <QX11Info>
#endif
#include <array>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace kev::ui {
namespace {

// Motif hints: flags, functions, decorations, input mode, status.
constexpr uint32_t kMwmHintsFunctions = 1, kMwmHintsDecorations = 2;
constexpr uint32_t kMwmFuncMove = 4;
constexpr uint32_t kMwmDecorBorder = 2, kMwmDecorTitle = 8;
constexpr uint32_t kStateFormat = 32;

xcb_connection_t* Connection() {
#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
  return QX11Info::isPlatformX11() ? QX11Info::connection() : nullptr;
#else
  auto* x11 =
      qGuiApp != nullptr ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
  return x11 != nullptr ? x11->connection() : nullptr;
#endif
}

xcb_atom_t Atom(xcb_connection_t* c, const char* name) {
  const xcb_intern_atom_cookie_t cookie =
      xcb_intern_atom(c, 0, static_cast<uint16_t>(strlen(name)), name);
  std::unique_ptr<xcb_intern_atom_reply_t, decltype(&free)> reply(
      xcb_intern_atom_reply(c, cookie, nullptr), &free);
  return reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
}

std::vector<xcb_atom_t> AtomList(xcb_connection_t* c, xcb_window_t w, xcb_atom_t property) {
  constexpr uint32_t kMaxAtoms = 64;
  std::unique_ptr<xcb_get_property_reply_t, decltype(&free)> reply(
      xcb_get_property_reply(c, xcb_get_property(c, 0, w, property, XCB_ATOM_ATOM, 0, kMaxAtoms),
                             nullptr),
      &free);
  if (!reply || reply->format != kStateFormat || reply->type != XCB_ATOM_ATOM) return {};
  const auto* atoms = static_cast<const xcb_atom_t*>(xcb_get_property_value(reply.get()));
  return {atoms, atoms + xcb_get_property_value_length(reply.get()) / sizeof(xcb_atom_t)};
}

// Asks the window manager to change two states of a mapped window.
void SendStateChange(xcb_connection_t* c, xcb_window_t w, xcb_atom_t state, bool add,
                     xcb_atom_t first, xcb_atom_t second) {
  xcb_client_message_event_t e{};
  e.response_type = XCB_CLIENT_MESSAGE;
  e.format = kStateFormat;
  e.window = w;
  e.type = state;
  e.data.data32[0] = add ? 1 : 0;  // _NET_WM_STATE_ADD or _REMOVE
  e.data.data32[1] = first;
  e.data.data32[2] = second;
  e.data.data32[3] = 1;  // from an application
  const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
  xcb_send_event(c, 0, root,
                 XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                 reinterpret_cast<const char*>(&e));
}

}  // namespace

void SetSkipTaskbar(QWidget* window, bool skip) {
  xcb_connection_t* c = Connection();
  if (c == nullptr || window->windowHandle() == nullptr) return;
  // The window handle's id: Qt may have made the native window anew.
  const auto w = static_cast<xcb_window_t>(window->windowHandle()->winId());
  const xcb_atom_t state = Atom(c, "_NET_WM_STATE");
  const xcb_atom_t taskbar = Atom(c, "_NET_WM_STATE_SKIP_TASKBAR");
  const xcb_atom_t pager = Atom(c, "_NET_WM_STATE_SKIP_PAGER");
  std::vector<xcb_atom_t> atoms = AtomList(c, w, state);
  for (const xcb_atom_t a : {taskbar, pager}) {
    std::erase(atoms, a);
    if (skip) atoms.push_back(a);
  }
  // Read when the window is mapped; a window manager takes changes after that by message.
  xcb_change_property(c, XCB_PROP_MODE_REPLACE, w, state, XCB_ATOM_ATOM, kStateFormat,
                      static_cast<uint32_t>(atoms.size()), atoms.data());
  if (window->isVisible()) SendStateChange(c, w, state, skip, taskbar, pager);
  xcb_flush(c);
}

void SetFixedDialogFrame(QWidget* dialog) {
  xcb_connection_t* c = Connection();
  if (c == nullptr) return;
  const xcb_atom_t hints = Atom(c, "_MOTIF_WM_HINTS");
  const std::array<uint32_t, 5> value{kMwmHintsFunctions | kMwmHintsDecorations, kMwmFuncMove,
                                      kMwmDecorBorder | kMwmDecorTitle, 0, 0};
  if (dialog->windowHandle() == nullptr) dialog->winId();
  xcb_change_property(c, XCB_PROP_MODE_REPLACE,
                      static_cast<xcb_window_t>(dialog->windowHandle()->winId()), hints, hints,
                      kStateFormat, static_cast<uint32_t>(value.size()), value.data());
  xcb_flush(c);
}

bool X11TrayPresent() {
  xcb_connection_t* c = Connection();
  if (c == nullptr) return false;
  // The screen of DISPLAY (":0.1" is screen 1), as the trays name it.
  int screen = 0;
  if (const char* display = std::getenv("DISPLAY"); display != nullptr) {
    const char* colon = std::strrchr(display, ':');
    const char* dot = colon != nullptr ? std::strchr(colon, '.') : nullptr;
    if (dot != nullptr) screen = std::atoi(dot + 1);
  }
  const std::string name = "_NET_SYSTEM_TRAY_S" + std::to_string(screen);
  const xcb_atom_t selection = Atom(c, name.c_str());
  if (selection == XCB_ATOM_NONE) return false;
  std::unique_ptr<xcb_get_selection_owner_reply_t, decltype(&free)> reply(
      xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, selection), nullptr), &free);
  return reply && reply->owner != XCB_WINDOW_NONE;
}

}  // namespace kev::ui
