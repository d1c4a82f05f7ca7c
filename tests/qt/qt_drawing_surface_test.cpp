// The QPainter surface and the page it draws, probed pixel by pixel.
#include "qt/qt_drawing_surface.h"

#include <gtest/gtest.h>

#include <QFontInfo>
#include <QGuiApplication>
#include <QImage>

#include <algorithm>
#include <iterator>
#include <memory>

#include "display/report_drawing.h"
#include "qt/page_render.h"
#include "support/test_file_builder.h"
#include "support/temp_dir.h"
#include "testfile/kel_file.h"

namespace {

using kel_test::TestFileBuilder;

QRgb At(const QImage& image, int x, int y)
{
    return image.pixel(x, y) & 0xFFFFFF;
}

bool HasColour(const QImage& image, const QRect& area, QRgb colour)
{
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (At(image, x, y) == colour) return true;
    return false;
}

TEST(QtDrawingSurface, FontCellIsAsHighAsAskedAndCourierResolvesToItOrAMetricTwin)
{
    QImage image(400, 300, QImage::Format_RGB32);
    QPainter painter(&image);
    platform::QtDrawingSurface surface(painter, image.size());
    for (const int height : {8, 13, 32, 136}) {
        platform::FontSpec font;
        font.height = height;
        font.weight = 700;
        font.faceName = "Courier New";
        surface.SelectFont(font);
        const platform::TextMetrics metrics = surface.GetTextMetrics();
        // The glyphs, accents and descenders included, lie inside the cell they were asked for,
        // and fill most of it.
        image.fill(Qt::white);
        surface.SetBkColor({255, 255, 255});
        surface.SetTextColor({0, 0, 0});
        const char text[] = "\xC9gjp|";
        surface.TextOut(10, 40, text, 5);
        int top = image.height(), bottom = -1;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                if (qGray(image.pixel(x, y)) < 128) top = std::min(top, y), bottom = std::max(bottom, y);
        EXPECT_GE(top, 40) << height;
        EXPECT_LT(bottom, 40 + height) << height;
        EXPECT_GE(bottom - top + 1, height * 7 / 10) << height;
        // Courier's average width is six tenths of its size: about half the cell.
        EXPECT_NEAR(metrics.tmAveCharWidth, height * 0.53, height * 0.08 + 1) << height;
        // Courier New itself where it is installed, else a face with its metrics.
        EXPECT_TRUE(QStringList({"Courier New", "Liberation Mono", "Cousine"}).contains(surface.ResolvedFamily()))
            << surface.ResolvedFamily().toStdString();
    }
    EXPECT_EQ(surface.GetDeviceCaps(platform::kHorzRes), 400);
    EXPECT_EQ(surface.GetDeviceCaps(platform::kVertRes), 300);
}

TEST(QtDrawingSurface, AOneUnitLineStopsShortOfItsEndPoint)
{
    const struct {
        const char* name;
        std::vector<platform::Point> points;  // the polyline; two points: MoveTo and LineTo
        std::vector<std::pair<int, int>> black, white;
        int count;  // black pixels in all
    } cases[] = {
        {"horizontal", {{10, 10}, {20, 10}}, {{10, 10}, {19, 10}}, {{20, 10}, {9, 10}}, 10},
        {"vertical, upwards", {{10, 30}, {10, 20}}, {{10, 30}, {10, 21}}, {{10, 20}, {10, 31}}, 10},
        {"slanted", {{10, 10}, {20, 15}}, {{10, 10}, {19, 15}}, {{20, 15}}, 10},
        {"one pixel long", {{5, 5}, {6, 5}}, {{5, 5}}, {{6, 5}}, 1},
        {"a polyline: only its last point is left out", {{10, 10}, {20, 10}, {20, 20}},
         {{10, 10}, {20, 10}, {20, 19}}, {{20, 20}}, 20},
    };
    for (const auto& c : cases) {
        QImage image(40, 40, QImage::Format_RGB32);
        image.fill(Qt::white);
        {
            QPainter painter(&image);
            platform::QtDrawingSurface surface(painter, image.size());
            surface.SelectPen({platform::kPenSolid, 1, {0, 0, 0}});
            if (c.points.size() == 2) {
                surface.MoveTo(c.points[0].x, c.points[0].y);
                surface.LineTo(c.points[1].x, c.points[1].y);
            } else {
                surface.Polyline(c.points.data(), static_cast<int>(c.points.size()));
            }
        }
        for (const auto& [x, y] : c.black) EXPECT_EQ(At(image, x, y), 0x000000u) << c.name << " " << x << "," << y;
        for (const auto& [x, y] : c.white) EXPECT_EQ(At(image, x, y), 0xFFFFFFu) << c.name << " " << x << "," << y;
        int count = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x) count += At(image, x, y) == 0x000000u;
        EXPECT_EQ(count, c.count) << c.name;
    }
}

TEST(QtDrawingSurface, RectanglesTextAndClipping)
{
    QImage image(200, 100, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    platform::QtDrawingSurface surface(painter, image.size());
    surface.SelectPen({0, 1, {0, 0, 0}});
    surface.SelectBrush({{255, 0, 0}});
    surface.Rectangle(10, 10, 50, 40);
    surface.SelectNullBrush();
    surface.Rectangle(60, 10, 100, 40);  // hollow: the inside stays white
    surface.SetBkColor({0, 0, 255});
    surface.SetTextColor({255, 255, 255});
    platform::FontSpec font;
    font.height = 20;
    font.faceName = "Courier New";
    surface.SelectFont(font);
    surface.DrawText("WWWWWWWWWWWWWWW", 15, {110, 10, 150, 60}, platform::kDrawTextLeft);
    painter.end();

    EXPECT_EQ(At(image, 30, 25), 0xFF0000u);
    EXPECT_EQ(At(image, 10, 25), 0x000000u);
    EXPECT_EQ(At(image, 80, 25), 0xFFFFFFu);
    EXPECT_EQ(At(image, 60, 25), 0x000000u);
    EXPECT_TRUE(HasColour(image, QRect(110, 10, 40, 20), 0x0000FF));   // opaque background
    EXPECT_FALSE(HasColour(image, QRect(151, 0, 49, 100), 0x0000FF));  // clipped at the right
    EXPECT_FALSE(HasColour(image, QRect(110, 31, 40, 69), 0x0000FF));  // one cell high
}

class PageImageTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        TestFileBuilder builder;
        builder.TestType(2);
        for (int i = 0; i < 120; ++i) builder.Sample(1000, EncodeCurrentWord(1e-6 / (i + 1)));
        const std::string path = dir.File("t.kel");
        builder.Write(path);
        ASSERT_TRUE(record.Load(path, 1));
    }

    kel_test::TempDir dir;
    CKELFile record;
};

TEST_F(PageImageTest, ScreenPageIsBlueWithAWhiteHeaderAndGreenAndYellowCurves)
{
    const QImage page = RenderPageImage(&record, 1, QSize(1600, 1000), false, 0, 1);
    EXPECT_EQ(At(page, 5, 5), 0x0000FFu);      // background
    EXPECT_EQ(At(page, 5, 990), 0x0000FFu);
    EXPECT_EQ(At(page, 25, 400), 0xFFFFFFu);   // inside the header box
    EXPECT_EQ(At(page, 20, 300), 0x000000u);   // its outline
    const QRect resistancePlot(10, 560, 790, 440), currentPlot(810, 560, 780, 440);
    EXPECT_TRUE(HasColour(page, resistancePlot, 0x00FF00));
    EXPECT_FALSE(HasColour(page, resistancePlot, 0xFFFF00));
    EXPECT_TRUE(HasColour(page, currentPlot, 0xFFFF00));
    EXPECT_FALSE(HasColour(page, currentPlot, 0x00FF00));
}

TEST_F(PageImageTest, PaperPageIsRedOnWhite)
{
    const QImage page = RenderPageImage(&record, 1, QSize(1600, 1000), true, 0, 1);
    EXPECT_EQ(At(page, 5, 5), 0xFFFFFFu);
    EXPECT_FALSE(HasColour(page, page.rect(), 0x0000FF));
    EXPECT_FALSE(HasColour(page, page.rect(), 0x00FF00));
    EXPECT_TRUE(HasColour(page, QRect(10, 400, 1580, 600), 0xFF0000));
}

TEST_F(PageImageTest, ZoomedPageHasNoHeader)
{
    const QImage page = RenderPageImage(&record, 1, QSize(1600, 1000), false, 1, 0);
    EXPECT_FALSE(HasColour(page, QRect(0, 0, 1600, 1000), 0x00FF00));  // the current plot only
    EXPECT_TRUE(HasColour(page, QRect(50, 0, 1500, 1000), 0xFFFF00));
    EXPECT_EQ(At(page, 25, 500), 0x0000FFu);                           // left of the plot: page blue
}

// Whether `region` (device pixels) holds an aligned 2 x 2 block of mixed colours that
// contains `colour`: what a page drawn at the device's resolution has at its edges,
// and a page drawn at half the resolution and scaled up never has.
bool HasFineEdge(const QImage& image, const QRect& region, QRgb colour)
{
    for (int y = region.top() & ~1; y + 1 <= region.bottom(); y += 2)
        for (int x = region.left() & ~1; x + 1 <= region.right(); x += 2) {
            const QRgb block[4] = {At(image, x, y), At(image, x + 1, y), At(image, x, y + 1), At(image, x + 1, y + 1)};
            const bool has = std::find(std::begin(block), std::end(block), colour) != std::end(block);
            const bool mixed = std::any_of(std::begin(block), std::end(block), [&](QRgb c) { return c != block[0]; });
            if (has && mixed) return true;
        }
    return false;
}

TEST_F(PageImageTest, AtTwiceTheDevicePixelsThePageKeepsItsGeometryAndIsDrawnAtFullResolution)
{
    QImage page(3200, 2000, QImage::Format_RGB32);
    page.setDevicePixelRatio(2);
    {
        QPainter painter(&page);
        platform::QtDrawingSurface surface(painter, QSize(1600, 1000));
        CDisplayTest display;
        display.Prepare(&surface, &record, 1, 0);
        display.DrawPage({0, 0, 1600, 1000}, 0, 1);
    }
    // The geometry is the page's in its own units: the header box's outline at 20, inside it white.
    EXPECT_EQ(At(page, 40, 600), 0x000000u);
    EXPECT_EQ(At(page, 50, 800), 0xFFFFFFu);
    EXPECT_EQ(At(page, 10, 10), 0x0000FFu);
    // Curves and text have edges finer than a unit of the page.
    EXPECT_TRUE(HasFineEdge(page, QRect(20, 1120, 1580, 880), 0x00FF00)) << "resistance curve";
    EXPECT_TRUE(HasFineEdge(page, QRect(1620, 1120, 1560, 880), 0xFFFF00)) << "current curve";
    EXPECT_TRUE(HasFineEdge(page, QRect(40, 40, 3120, 400), 0x000000)) << "header text";
}

}  // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
