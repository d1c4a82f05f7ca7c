#include "display/view_zoom.h"

bool ToggleZoom(int x, int y, int width, int height, int& zoomed, int& zoomResistance)
{
    if (zoomed) {
        zoomed = 0;
        return true;
    }
    if (y <= height / 2) return false;  // the upper half: the header
    zoomed = 1;
    zoomResistance = x < width / 2 ? 1 : 0;
    return true;
}
