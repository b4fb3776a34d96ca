// Window-manager hints Qt does not set by itself on X11. Each call does
// nothing on other platforms (offscreen, Wayland without XWayland).
#pragma once

class QWidget;

namespace kev::ui {

// Keeps a window off taskbars and pagers (_NET_WM_STATE_SKIP_TASKBAR and
// _NET_WM_STATE_SKIP_PAGER), or lets it back on. For a window about to be
// mapped: call it from the show event.
void SetSkipTaskbar(QWidget* window, bool skip);

// A fixed-size dialog frame: moving is the only window-manager function, so
// no minimise, maximise or resize control is offered.
void SetFixedDialogFrame(QWidget* dialog);

// True when an X11 system tray (the owner of the screen's
// _NET_SYSTEM_TRAY_S<n> selection) runs; one round trip to the X server.
bool X11TrayPresent();

}  // namespace kev::ui
