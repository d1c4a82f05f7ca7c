#include "qt/wide_polyline.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <set>
#include <utility>

namespace {

using platform::PixelRun;
using platform::Point;

double DistanceToSegment(double x, double y, const Point& a, const Point& b)
{
    const double dx = b.x - a.x, dy = b.y - a.y;
    const double lengthSquared = dx * dx + dy * dy;
    double t = lengthSquared == 0 ? 0 : ((x - a.x) * dx + (y - a.y) * dy) / lengthSquared;
    t = std::clamp(t, 0.0, 1.0);
    return std::hypot(x - (a.x + t * dx), y - (a.y + t * dy));
}

// Every pixel whose centre lies within width / 2 of a segment, pixel by pixel.
std::set<std::pair<int, int>> BruteForce(const std::vector<Point>& points, int width)
{
    std::set<std::pair<int, int>> covered;
    const double radius = width / 2.0;
    for (int x = -20; x < 120; ++x)
        for (int y = -20; y < 120; ++y)
            for (std::size_t i = 0; i + (points.size() > 1 ? 1 : 0) < points.size(); ++i) {
                const Point& b = points[points.size() > 1 ? i + 1 : i];
                if (DistanceToSegment(x, y, points[i], b) <= radius + 1e-9) {
                    covered.insert({x, y});
                    break;
                }
            }
    return covered;
}

std::set<std::pair<int, int>> Pixels(const std::vector<PixelRun>& runs)
{
    std::set<std::pair<int, int>> covered;
    for (const PixelRun& run : runs)
        for (int y = run.top; y <= run.bottom; ++y) covered.insert({run.x, y});
    return covered;
}

TEST(WidePolylineRuns, CoverExactlyThePixelsWithinHalfThePenWidth)
{
    std::mt19937 random(7);
    for (int round = 0; round < 300; ++round) {
        const int width = std::vector{1, 2, 3, 5, 7}[round % 5];
        std::vector<Point> points(1 + round % 12);
        // Mostly a curve that creeps to the right, as samples do; now and then jumps.
        int x = 10 + static_cast<int>(random() % 20), y = 50;
        for (auto& point : points) {
            x += round % 3 == 0 ? static_cast<int>(random() % 30) - 10 : static_cast<int>(random() % 2);
            y += static_cast<int>(random() % 41) - 20;
            point = {x, std::clamp(y, 0, 99)};
        }
        const auto runs = platform::WidePolylineRuns(points.data(), static_cast<int>(points.size()), width, -20, 119);
        ASSERT_EQ(Pixels(runs), BruteForce(points, width)) << "round " << round;
        for (std::size_t i = 1; i < runs.size(); ++i) {
            const bool ordered = runs[i - 1].x < runs[i].x ||
                                 (runs[i - 1].x == runs[i].x && runs[i - 1].bottom + 1 < runs[i].top);
            ASSERT_TRUE(ordered) << "round " << round;
        }
    }
}

TEST(WidePolylineRuns, ShapesOfOneSegment)
{
    const Point dot[] = {{10, 10}};
    EXPECT_EQ(platform::WidePolylineRuns(dot, 1, 3, 0, 100),
              (std::vector<PixelRun>{{9, 9, 11}, {10, 9, 11}, {11, 9, 11}}));
    const Point vertical[] = {{5, 0}, {5, 20}};
    EXPECT_EQ(platform::WidePolylineRuns(vertical, 2, 1, 0, 100), (std::vector<PixelRun>{{5, 0, 20}}));
    const Point horizontal[] = {{0, 7}, {50, 7}};
    const auto clipped = platform::WidePolylineRuns(horizontal, 2, 5, 10, 19);
    ASSERT_EQ(clipped.size(), 10u);
    EXPECT_EQ(clipped.front(), (PixelRun{10, 5, 9}));
    EXPECT_TRUE(platform::WidePolylineRuns(horizontal, 2, 5, 60, 70).empty());
}

}  // namespace
