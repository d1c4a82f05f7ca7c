#include "qt/wide_polyline.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace platform {
namespace {

// Boundary pixels count as covered, also after rounding.
constexpr double kSlack = 1e-9;

// The rows within `radius` of the segment a-b on column x, as [low, high]; false when none.
bool CoveredRows(const Point& a, const Point& b, double radius, int x, double& low, double& high)
{
    const double dx = b.x - a.x, dy = b.y - a.y;
    const double px = x - a.x;
    low = 1e300;
    high = -1e300;
    // The round ends.
    for (const Point& end : {a, b}) {
        const double ex = x - end.x;
        const double reach = radius * radius - ex * ex;
        if (reach < -kSlack) continue;
        const double h = std::sqrt(std::max(reach, 0.0));
        low = std::min(low, end.y - h);
        high = std::max(high, end.y + h);
    }
    // The band along the segment: within `radius` of its line, projecting inside it.
    const double lengthSquared = dx * dx + dy * dy;
    if (lengthSquared > 0) {
        double bandLow, bandHigh;
        if (dx == 0) {
            if (std::abs(px) > radius + kSlack) return low <= high;
            bandLow = std::min(a.y, b.y);
            bandHigh = std::max(a.y, b.y);
        } else {
            // |px * dy - py * dx| <= radius * length, with py = y - a.y.
            const double reach = radius * std::sqrt(lengthSquared);
            double y1 = (px * dy - reach) / dx, y2 = (px * dy + reach) / dx;
            if (y1 > y2) std::swap(y1, y2);
            // 0 <= px * dx + py * dy <= length^2.
            double t1, t2;
            if (dy == 0) {
                const double along = px * dx;
                if (along < -kSlack || along > lengthSquared + kSlack) return low <= high;
                t1 = -1e300;
                t2 = 1e300;
            } else {
                t1 = (-px * dx) / dy;
                t2 = (lengthSquared - px * dx) / dy;
                if (t1 > t2) std::swap(t1, t2);
            }
            bandLow = a.y + std::max(y1, t1);
            bandHigh = a.y + std::min(y2, t2);
        }
        if (bandLow <= bandHigh + kSlack) {
            low = std::min(low, bandLow);
            high = std::max(high, bandHigh);
        }
    }
    return low <= high;
}

}  // namespace

std::vector<PixelRun> WidePolylineRuns(const Point* points, int count, int width, int clipLeft, int clipRight)
{
    std::vector<PixelRun> runs;
    if (count <= 0 || clipRight < clipLeft) return runs;
    const double radius = std::max(width, 1) / 2.0;
    const int reach = static_cast<int>(std::ceil(radius));

    int minX = points[0].x, maxX = points[0].x;
    for (int i = 1; i < count; ++i) {
        minX = std::min(minX, points[i].x);
        maxX = std::max(maxX, points[i].x);
    }
    const int first = std::max(minX - reach, clipLeft);
    const int last = std::min(maxX + reach, clipRight);
    if (last < first) return runs;

    // Within one column a run of samples is a chain of vertical pieces: what a
    // round pen covers there is the stretch from their lowest to their highest
    // row, so the chain becomes first, highest, lowest, last point. Samples
    // outnumber columns many times over, so this leaves a fraction of the segments.
    std::vector<Point> path;
    path.reserve(static_cast<std::size_t>(std::min(count, 4 * (maxX - minX + 1) + 4)));
    const auto keep = [&](const Point& point) {
        if (path.empty() || !(path.back() == point)) path.push_back(point);
    };
    for (int i = 0; i < count;) {
        int j = i, high = points[i].y, low = points[i].y;
        while (j + 1 < count && points[j + 1].x == points[i].x) {
            ++j;
            high = std::min(high, points[j].y);
            low = std::max(low, points[j].y);
        }
        keep(points[i]);
        keep({points[i].x, high});
        keep({points[i].x, low});
        keep(points[j]);
        i = j + 1;
    }

    // One run per column, widened as intervals arrive; an interval that does not
    // touch it (a curve that comes back to a column after a jump) waits aside.
    struct Column {
        int top = 1, bottom = 0;  // empty while bottom < top
    };
    std::vector<Column> columns(static_cast<std::size_t>(last - first + 1));
    std::vector<PixelRun> aside;
    const auto add = [&](int x, double low, double high) {
        const int top = static_cast<int>(std::ceil(low - kSlack));
        const int bottom = static_cast<int>(std::floor(high + kSlack));
        if (bottom < top) return;
        Column& column = columns[static_cast<std::size_t>(x - first)];
        if (column.bottom < column.top) {
            column = {top, bottom};
        } else if (top <= column.bottom + 1 && column.top <= bottom + 1) {
            column.top = std::min(column.top, top);
            column.bottom = std::max(column.bottom, bottom);
        } else {
            aside.push_back({x, top, bottom});
        }
    };

    // A single point is drawn as a segment of no length: one round dot.
    const int pathCount = static_cast<int>(path.size());
    const int segments = pathCount == 1 ? 1 : pathCount - 1;
    for (int i = 0; i < segments; ++i) {
        const Point& a = path[static_cast<std::size_t>(i)];
        const Point& b = path[static_cast<std::size_t>(pathCount == 1 ? 0 : i + 1)];
        const int from = std::max(std::min(a.x, b.x) - reach, first);
        const int to = std::min(std::max(a.x, b.x) + reach, last);
        for (int x = from; x <= to; ++x) {
            double low, high;
            if (CoveredRows(a, b, radius, x, low, high)) add(x, low, high);
        }
    }

    for (int x = first; x <= last; ++x) {
        const Column& column = columns[static_cast<std::size_t>(x - first)];
        if (column.top <= column.bottom) runs.push_back({x, column.top, column.bottom});
    }
    if (aside.empty()) return runs;
    // Merge the intervals set aside with the runs of their columns.
    runs.insert(runs.end(), aside.begin(), aside.end());
    std::sort(runs.begin(), runs.end(), [](const PixelRun& a, const PixelRun& b) {
        return a.x != b.x ? a.x < b.x : a.top < b.top;
    });
    std::vector<PixelRun> merged;
    for (const PixelRun& run : runs) {
        if (!merged.empty() && merged.back().x == run.x && run.top <= merged.back().bottom + 1)
            merged.back().bottom = std::max(merged.back().bottom, run.bottom);
        else
            merged.push_back(run);
    }
    return merged;
}

}  // namespace platform
