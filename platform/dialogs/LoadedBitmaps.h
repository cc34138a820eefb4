// Bitmaps made by LoadImageA, for GDI's DeleteObject (no GTK types here).
#pragma once

// Frees a bitmap made by LoadImageA; false for any other handle.
bool DeleteLoadedBitmap(void* object);
