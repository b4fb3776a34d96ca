#include "ui/x11_window.h"

#include <xcb/xcb.h>

#include <QGuiApplication>
#include <QWidget>
#include <array>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

namespace kev::ui {
namespace {

// Motif hints: flags, functions, decorations, input mode, status.
constexpr uint32_t kMwmHintsFunctions = 1, kMwmHintsDecorations = 2;
constexpr uint32_t kMwmFuncMove = 4;
constexpr uint32_t kMwmDecorBorder = 2, kMwmDecorTitle = 8;
constexpr uint32_t kStateFormat = 32;

xcb_connection_t* Connection() {
  auto* x11 = qGuiApp != nullptr ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>()
                                 : nullptr;
  return x11 != nullptr ? x11->connection() : nullptr;
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
      xcb_get_property_reply(
          c, xcb_get_property(c, 0, w, property, XCB_ATOM_ATOM, 0, kMaxAtoms), nullptr),
      &free);
  if (!reply || reply->format != kStateFormat || reply->type != XCB_ATOM_ATOM) return {};
  const auto* atoms = static_cast<const xcb_atom_t*>(xcb_get_property_value(reply.get()));
  return {atoms, atoms + xcb_get_property_value_length(reply.get()) / sizeof(xcb_atom_t)};
}

}  // namespace

void SetSkipTaskbar(QWidget* window, bool skip) {
  xcb_connection_t* c = Connection();
  if (c == nullptr) return;
  const auto w = static_cast<xcb_window_t>(window->winId());
  const xcb_atom_t state = Atom(c, "_NET_WM_STATE");
  std::vector<xcb_atom_t> atoms = AtomList(c, w, state);
  for (const char* name : {"_NET_WM_STATE_SKIP_TASKBAR", "_NET_WM_STATE_SKIP_PAGER"}) {
    const xcb_atom_t a = Atom(c, name);
    std::erase(atoms, a);
    if (skip) atoms.push_back(a);
  }
  xcb_change_property(c, XCB_PROP_MODE_REPLACE, w, state, XCB_ATOM_ATOM, kStateFormat,
                      static_cast<uint32_t>(atoms.size()), atoms.data());
  xcb_flush(c);
}

void SetFixedDialogFrame(QWidget* dialog) {
  xcb_connection_t* c = Connection();
  if (c == nullptr) return;
  const xcb_atom_t hints = Atom(c, "_MOTIF_WM_HINTS");
  const std::array<uint32_t, 5> value{kMwmHintsFunctions | kMwmHintsDecorations, kMwmFuncMove,
                                      kMwmDecorBorder | kMwmDecorTitle, 0, 0};
  xcb_change_property(c, XCB_PROP_MODE_REPLACE, static_cast<xcb_window_t>(dialog->winId()), hints,
                      hints, kStateFormat, static_cast<uint32_t>(value.size()), value.data());
  xcb_flush(c);
}

}  // namespace kev::ui
