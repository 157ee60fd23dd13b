#pragma once
// Makes a picture of a top-level window's content its X background for a
// while.
//
// Without a compositor the X server keeps nothing of a window that is off
// screen or unmapped: when it comes into view the server fills it with its
// background (none: whatever was on screen) until the program draws again,
// which under load takes a while. With its content as background the
// window's first frame on screen is that content, whatever the program is
// doing; the background goes back to none once the program has had time to
// draw.
//
// UI thread only; X11 only (the application runs GDK on X11).
#include <gtk/gtk.h>

namespace tarnel::platform::gtk {

// `picture` is drawn at its device scale. Does nothing for a window that is
// not realised or has no size.
void HoldPictureAsBackground(GtkWidget* window, cairo_surface_t* picture);

}  // namespace tarnel::platform::gtk
