// The view's zoom toggle: a click while zoomed brings the page back; a click
// in the lower half of the page zooms into the plot under it.
#pragma once

// Applies a click at (x, y) of a client area `width` x `height`. Returns true
// when the view must be redrawn.
bool ToggleZoom(int x, int y, int width, int height, int& zoomed, int& zoomResistance);
