#include "services/drawing_surface.h"

namespace platform {

void DrawingSurface::Polyline(const Point* points, int count)
{
    if (count <= 0) return;
    MoveTo(points[0].x, points[0].y);
    for (int i = 1; i < count; ++i) LineTo(points[i].x, points[i].y);
}

}  // namespace platform
