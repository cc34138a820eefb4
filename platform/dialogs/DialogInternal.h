// Shared state of the dialog code (not part of the API).
#pragma once

#include <gtk/gtk.h>

#include "winuser.h"
#include "LoadedBitmaps.h"

#include <string>

namespace dlgimpl {

// Initialises GTK once (C numeric locale kept); false without a display.
bool EnsureGtk();
// The toplevel GTK window of the dialog on top, or null.
GtkWindow* TopGtkWindow();
// Runs `window` modally until `*done` is set, running queued script steps and
// file-chooser answers on the way.
void RunModalLoop(GtkWidget* window, const bool* done);
// Takes the next queued file-chooser answer; false when none is queued.
bool TakeFileChooserAnswer(std::string& hostPath);

std::string ToUtf8(const char* cp1252);
std::string FromUtf8(const char* utf8);

}  // namespace dlgimpl

// The pixbuf of a bitmap made by LoadImageA, or null.
GdkPixbuf* PixbufOfBitmap(HANDLE bitmap);
