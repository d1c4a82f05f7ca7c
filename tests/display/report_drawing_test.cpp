// The toolkit, the plot and the page against a recording surface.
#include "display/report_drawing.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>

#include "support/recording_surface.h"
#include "testfile/kel_file.h"

namespace {

using kel_test::Call;
using kel_test::Op;
using kel_test::RecordingSurface;
using platform::Color;
using platform::Rect;

constexpr Color kBlack{0, 0, 0};
constexpr Color kWhite{255, 255, 255};
constexpr Color kBlue{0, 0, 255};
constexpr Color kGrey{192, 192, 192};
constexpr Color kRed{255, 0, 0};
constexpr Color kGreen{0, 255, 0};
constexpr Color kYellow{255, 255, 0};
constexpr Color kTeal{0, 128, 128};
// Liberation Mono's character width to its cell height (17 units in a cell of 32).
constexpr double kRealRatio = 0.525;

// A record with `samples` seconds of falling current at 1000 V.
void Fill(CKELFile& test, int type, int samples)
{
    test.testType = type;
    test.sampleCount = samples;
    test.currents = std::make_unique<float[]>(static_cast<std::size_t>(samples));
    test.resistances = std::make_unique<float[]>(static_cast<std::size_t>(samples));
    for (int i = 0; i < samples; ++i) {
        test.currents[i] = 1e-6f / static_cast<float>(i + 1);
        test.resistances[i] = 1000.0f / test.currents[i];
    }
    std::snprintf(test.testTypeName, sizeof test.testTypeName, "TYPE %d", type);
    std::snprintf(test.finalResistanceText, sizeof test.finalResistanceText, "9.999 T");
    std::snprintf(test.testVoltageText, sizeof test.testVoltageText, "1000 V");
    std::snprintf(test.durationText, sizeof test.durationText, "DURATION");
    std::snprintf(test.capacitanceText, sizeof test.capacitanceText, "CAP");
    std::snprintf(test.humFrequencyText, sizeof test.humFrequencyText, "60 HZ");
}

struct Fixture {
    // `ratio`: the character width to the cell height; 0.525 is what Liberation Mono draws.
    explicit Fixture(int tests = 1, int width = 1600, int height = 1000, double ratio = 0.6)
        : surface(width, height, ratio)
    {
        records = std::make_unique<CKELFile[]>(static_cast<std::size_t>(tests));
        for (int i = 0; i < tests; ++i) Fill(records[i], 3, 600);
        count = tests;
    }
    void Plot(const Rect& rect, int currentPlot, int printing = 0)
    {
        display.Prepare(&surface, records.get(), count, printing);
        display.DrawPlot(rect, currentPlot);
    }
    void Page(int printing = 0, int zoomed = 0, int zoomResistance = 1)
    {
        display.Prepare(&surface, records.get(), count, printing);
        display.DrawPage({0, 0, surface.GetDeviceCaps(platform::kHorzRes), surface.GetDeviceCaps(platform::kVertRes)},
                         zoomed, zoomResistance);
    }
    std::vector<Call> Curves() const { return surface.Of(Op::Polyline); }

    RecordingSurface surface;
    std::unique_ptr<CKELFile[]> records;
    int count;
    CDisplayTest display;
};

TEST(SelectColor, PrintingTurnsGreyAndWhiteBlack)
{
    const struct {
        int index, printing;
        Color color;
    } cases[] = {
        {7, 1, kBlack}, {7, 0, kGrey}, {15, 1, kBlack}, {15, 0, kWhite}, {19, 0, kRed}, {19, 1, kRed},
        {9, 1, kBlue},  {3, 1, kTeal},
    };
    for (const auto& c : cases) {
        RecordingSurface surface;
        CDisplayTest display;
        display.Prepare(&surface, nullptr, 1, c.printing);
        display.SelectColor(c.index, 0, 5);
        display.DrawBox({0, 0, 10, 10}, 1);
        const Call box = surface.Of(Op::Rectangle).at(0);
        EXPECT_EQ(box.pen->color, c.color) << c.index;
        EXPECT_EQ(box.pen->width, 5);
        EXPECT_EQ(box.brush->color, c.color) << c.index;
    }
}

TEST(DrawBox, HollowAfterFilledAndFilledAgain)
{
    RecordingSurface surface;
    CDisplayTest display;
    display.Prepare(&surface, nullptr, 1, 0);
    display.SelectColor(9, 0, 1);
    display.SelectColor(14, 0, 2);  // the earlier pen and brush are released
    display.DrawBox({1, 2, 3, 4}, 0);
    display.DrawBox({1, 2, 3, 4}, 1);
    const auto boxes = surface.Of(Op::Rectangle);
    EXPECT_FALSE(boxes[0].brush.has_value());
    EXPECT_EQ(boxes[1].brush->color, kYellow);
    EXPECT_EQ(boxes[0].rect, (Rect{1, 2, 3, 4}));
    EXPECT_EQ(display.pen->color, kYellow);
}

TEST(DrawPlot, FrameLabelsAndFontOnTheScreen)
{
    Fixture f;
    f.Plot({100, 50, 900, 530}, 0);  // 480 high: H = 480 / 24 = 20, W = 12
    const auto fonts = f.surface.Of(Op::SelectFont);
    ASSERT_EQ(fonts.size(), 1u);
    EXPECT_EQ(fonts[0].font.height, 20);
    EXPECT_EQ(fonts[0].font.weight, 800);
    EXPECT_EQ(fonts[0].font.faceName, "Courier New");
    EXPECT_EQ(f.surface.calls.back().op, Op::DeleteFont);

    const Call* title = f.surface.Text("Resistance Plot");
    ASSERT_TRUE(title);
    EXPECT_EQ(title->format, platform::kDrawTextCenter);
    EXPECT_EQ(title->rect, (Rect{100, 50, 900, 530}));

    // Frame: left 100 + 7W = 184, top 50 + H = 70, right 900, bottom 530 - 2H = 490.
    const auto boxes = f.surface.Of(Op::Rectangle);
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].rect, (Rect{184, 70, 900, 490}));
    EXPECT_EQ(boxes[0].brush->color, kWhite);
    EXPECT_EQ(boxes[0].pen->width, 2);
    EXPECT_FALSE(boxes[1].brush.has_value());
    EXPECT_EQ(boxes[1].pen->color, kBlack);

    const Call* zero = f.surface.Text("0 Minutes");
    ASSERT_TRUE(zero);
    EXPECT_EQ(zero->rect.left, 184);
    EXPECT_EQ(zero->rect.top, 490 + 10);
    const Call* ten = f.surface.Text("10");
    ASSERT_TRUE(ten);
    EXPECT_EQ(ten->rect.left, 900 - 3 * 12);

    // Labels: D = 420 / 8 = 52; line i + 1 at y = 70 + (i + 1) * 52, text centred on it.
    const Call* top = f.surface.Text("  1 T");
    const Call* bottom = f.surface.Text("100 K");
    ASSERT_TRUE(top && bottom);
    EXPECT_EQ(top->rect.left, 100);
    EXPECT_EQ(top->rect.top, 70 + 52 - 10);
    EXPECT_EQ(bottom->rect.top, 70 + 8 * 52 - 10);
    EXPECT_FALSE(f.surface.Text("10 T"));
}

TEST(DrawPlot, LinesOnScreenAndPaper)
{
    for (const int printing : {0, 1}) {
        Fixture f;
        const Rect R{0, 0, 800, 480};
        f.Plot(R, 1, printing);
        const int H = printing ? 12 : 20;
        const int W = static_cast<int>(H * 0.6);
        const Rect F{7 * W, H, 800, 480 - 2 * H};
        const int D = F.Height() / 8;
        int minuteTicks = 0, decadeLines = 0, decadeTicks = 0, minorLines = 0;
        for (const Call& line : f.surface.Of(Op::Line)) {
            const Rect& l = line.rect;
            if (l.left == l.right) {  // vertical: a minute tick
                ++minuteTicks;
                EXPECT_EQ(line.pen->color, printing ? kBlack : kGrey);
                EXPECT_EQ(l.top, F.bottom - 1);
                EXPECT_EQ(l.bottom, F.bottom - F.Height() / 30 - 1);
            } else if (l.right == F.left) {  // decade tick outside the frame
                ++decadeTicks;
                EXPECT_EQ(l.left, F.left - (printing ? 20 : 5));
                EXPECT_EQ(line.pen->width, printing ? 7 : 3);
                EXPECT_EQ(line.pen->color, printing ? kBlack : kWhite);
            } else if ((l.top - F.top) % D == 0 && line.pen->width == 1 && decadeLines < 7) {
                ++decadeLines;
                EXPECT_EQ(l.right, 800);
            } else {
                ++minorLines;
            }
        }
        EXPECT_EQ(minuteTicks, 9) << printing;
        EXPECT_EQ(decadeTicks, 7) << printing;
        EXPECT_EQ(decadeLines, 7) << printing;
        EXPECT_EQ(minorLines, 32) << printing;
        EXPECT_EQ(f.surface.Of(Op::Rectangle).size(), printing ? 1u : 2u);  // no fill on paper
    }
}

TEST(DrawPlot, TimeLabelAndTicksFollowTheFirstTest)
{
    const struct {
        int samples;
        const char* label;
        std::size_t ticks;
    } cases[] = {{59, "0", 0}, {60, "1", 0}, {119, "1", 0}, {120, "2", 1}, {600, "10", 9}};
    for (const auto& c : cases) {
        Fixture f;
        Fill(f.records[0], 3, c.samples);
        f.Plot({0, 0, 800, 480}, 0);
        const auto texts = f.surface.Of(Op::TextOut);
        EXPECT_EQ(texts[1].text, c.label) << c.samples;
        std::size_t ticks = 0;
        for (const Call& line : f.surface.Of(Op::Line)) ticks += line.rect.left == line.rect.right;
        EXPECT_EQ(ticks, c.ticks) << c.samples;
    }
}

TEST(DrawPlot, CurvePens)
{
    const struct {
        int count, printing, currentPlot;
        std::vector<std::pair<Color, int>> pens;
    } cases[] = {
        {1, 0, 0, {{kGreen, 3}}},
        {1, 0, 1, {{kYellow, 3}}},
        {1, 1, 0, {{kRed, 5}}},
        {1, 1, 1, {{kRed, 5}}},
        {2, 1, 0, {{kRed, 3}, {kTeal, 3}}},
        {4, 0, 1, {{kRed, 3}, {kTeal, 3}, {kYellow, 3}, {kGreen, 3}}},
        {5, 0, 1, {{kRed, 3}, {kTeal, 3}, {kYellow, 3}, {kGreen, 3}}},  // never a fifth
    };
    for (const auto& c : cases) {
        Fixture f(c.count);
        f.Plot({0, 0, 800, 480}, c.currentPlot, c.printing);
        const auto curves = f.Curves();
        ASSERT_EQ(curves.size(), c.pens.size()) << c.count;
        for (std::size_t i = 0; i < curves.size(); ++i) {
            EXPECT_EQ(curves[i].pen->color, c.pens[i].first) << c.count << " " << i;
            EXPECT_EQ(curves[i].pen->width, c.pens[i].second) << c.count << " " << i;
        }
    }
}

TEST(DrawPlot, OverlaidTestsOfDifferentLengthsSpanTheFrame)
{
    Fixture f(2);
    Fill(f.records[0], 3, 600);
    Fill(f.records[1], 3, 300);
    f.Plot({0, 0, 800, 480}, 0);
    const Rect F{84, 20, 800, 440};  // H 20, W 12
    const auto curves = f.Curves();
    ASSERT_EQ(curves.size(), 2u);
    EXPECT_EQ(curves[0].points.size(), 600u);
    EXPECT_EQ(curves[1].points.size(), 300u);
    for (const Call& curve : curves) {
        EXPECT_EQ(curve.points.front().x, F.left);
        EXPECT_GE(curve.points.back().x, F.right - 3);
        for (const auto& point : curve.points) {
            EXPECT_GE(point.y, F.top);
            EXPECT_LE(point.y, F.bottom);
        }
    }
    EXPECT_TRUE(f.surface.Text("10"));  // the axis follows the first, longer test
}

TEST(DrawPlot, NoCurveWithoutSegmentsOrSamples)
{
    Fixture f(3);
    Fill(f.records[0], 3, 1);
    Fill(f.records[1], 3, 0);
    f.records[2].resistances.reset();  // header only
    f.Plot({0, 0, 800, 480}, 0);
    EXPECT_TRUE(f.Curves().empty());
}

TEST(DrawPage, FontHeights)
{
    const struct {
        int width, height, printing, font;
    } cases[] = {{1600, 1000, 0, (500 - 20) / 15}, {1600, 1000, 1, (500 - 20) / 24}, {10000, 6600, 1, 136}};
    for (const auto& c : cases) {
        Fixture f(1, c.width, c.height, kRealRatio);
        f.Page(c.printing);
        const auto fonts = f.surface.Of(Op::SelectFont);
        ASSERT_EQ(fonts.size(), 3u);  // the page and its two plots
        EXPECT_EQ(fonts[0].font.height, c.font);
        EXPECT_EQ(fonts[0].font.weight, 700);
    }
}

TEST(DrawPage, ScreenAndPaperColours)
{
    Fixture screen;
    screen.Page(0);
    const auto boxes = screen.surface.Of(Op::Rectangle);
    EXPECT_EQ(boxes[0].rect, (Rect{0, 0, 1600, 1000}));
    EXPECT_EQ(boxes[0].brush->color, kBlue);
    const int H = 32;  // (500 - 20) / 15
    EXPECT_EQ(boxes[1].rect, (Rect{20, 20, 1580, 20 + 16 * H}));
    EXPECT_EQ(boxes[1].brush->color, kWhite);
    EXPECT_FALSE(boxes[2].brush.has_value());
    const Call* header = screen.surface.Text("Test Number:");
    EXPECT_EQ(header->textColor, kBlack);
    EXPECT_EQ(header->bkColor, kWhite);
    const Call* label = screen.surface.Text("  1 T");
    EXPECT_EQ(label->textColor, kWhite);
    EXPECT_EQ(label->bkColor, kBlue);

    Fixture paper;
    paper.Page(1);
    for (const Call& box : paper.surface.Of(Op::Rectangle)) EXPECT_FALSE(box.brush.has_value());
    EXPECT_EQ(paper.surface.Text("Test Number:")->textColor, (Color{}));  // the surface's own colours
}

TEST(DrawPage, HeaderLinesAndRules)
{
    Fixture f;
    CKELFile& test = f.records[0];
    test.testNumber = 12;
    test.dateParts[0] = 11, test.dateParts[1] = 3, test.dateParts[2] = 26;
    test.timeParts[0] = 9, test.timeParts[1] = 5, test.timeParts[2] = 7;
    std::snprintf(test.company, sizeof test.company, "ACME");
    std::snprintf(test.location, sizeof test.location, "PLANT 2");
    std::snprintf(test.description, sizeof test.description, "MOTOR");
    std::snprintf(test.operatorName, sizeof test.operatorName, "ME");
    f.Page();
    const int H = 32;
    const std::string lines[] = {
        "Test Number: 12   Date: 11/3/26  Time: 9:5:7",
        "Company:   ACME                  Location: PLANT 2             ",
        "Test Desc: MOTOR                 Operator: ME                  ",
        "Test Type: TYPE 3",
    };
    const int tops[] = {25, 25 + H + H / 2, 25 + 2 * H + H / 2, 25 + 3 * H + 2 * (H / 2)};
    for (int i = 0; i < 4; ++i) {
        const Call* call = f.surface.Text(lines[i]);
        ASSERT_TRUE(call) << lines[i];
        EXPECT_EQ(call->text, lines[i]);
        EXPECT_EQ(call->format, platform::kDrawTextCenter);
        EXPECT_EQ(call->rect, (Rect{20, tops[i], 1580, 500}));
    }
    std::vector<int> rules;
    for (const Call& line : f.surface.Of(Op::Line))
        if (line.rect.left == 20 && line.rect.right == 1580) rules.push_back(line.rect.top);
    EXPECT_EQ(rules, (std::vector<int>{25 + H, 25 + 3 * H + H / 2, 25 + 4 * H + 2 * (H / 2)}));
}

struct ResultCase {
    const char* name;
    int type;
    int hasTemperature, hasCapacitance, stepCount;
    int left;                        // the column's left, from the box left (20) and W (19)
    std::vector<std::string> lines;  // in order; "" is an empty line
};

TEST(DrawPage, ResultBlocksByTestType)
{
    const int W = 16, bw = 1560;
    const std::vector<ResultCase> cases = {
        {"resistance", 1, 0, 0, 0, 20 + 4 * W,
         {"Final Test Resistance: 9.999 T", "Final Test Voltage:    1000 V", "Final Test Current:    ",
          "Test Capacitance:      CAP", "Test Duration:         DURATION", "Hum Rejection Freq:    60 HZ"}},
        {"insulation with temperature", 2, 1, 0, 0, 20 + bw / 2 - 20 * W,
         {"Final Test Resistance: 9.999 T", "Final Test Voltage:    1000 V", "Final Test Current:    ",
          "Test Capacitance:      CAP", "Test Duration:         DURATION", "Hum Rejection Freq:    60 HZ",
          "D.U.T. TEMP: 70 F", "EQUIV RES @40C: E40", "EQUIV RES @20C: E20"}},
        {"polarization index", 3, 0, 1, 0, 20 + 4 * W,
         {"PI Ratio:           PI", "RES @  01:00 =      R1", "RES @  10:00 =      9.999 T",
          "Final Test Voltage: 1000 V", "Test Capacitance:   CAP", "Test Duration:      DURATION",
          "Hum Rejection Freq: 60 HZ"}},
        {"dielectric discharge", 4, 1, 1, 0, 20 + bw / 2 - 20 * W,
         {"DD Ratio:           DD", "", "I @ TEST +1 MIN:    I1", "Final Test Voltage: 1000 V",
          "Test Capacitance:   CAP", "Test Duration:      DURATION", "", "Hum Rejection Freq: 60 HZ",
          "D.U.T. TEMP: 70 F"}},
        {"dielectric discharge without capacitance", 4, 0, 0, 0, 20 + bw / 2 - 20 * W,
         {"DD Ratio:           DD", "", "Final Test Voltage: 1000 V", "Test Capacitance:   CAP",
          "Test Duration:      DURATION", "", "Hum Rejection Freq: 60 HZ"}},
        {"step voltage", 5, 0, 0, 3, 20 + bw / 2 - 20 * W,
         {"STEP 0", "STEP 1", "STEP 2", "Step Interval: 00:30 MIN   Test Capacitance: CAP",
          "Test Duration:  DURATION  Hum Rejection Freq: 60 HZ"}},
        {"unknown", 9, 1, 1, 0, 0, {}},
    };
    for (const auto& c : cases) {
        Fixture f(1, 1600, 1000, kRealRatio);
        CKELFile& test = f.records[0];
        Fill(test, c.type, 600);
        test.hasTemperature = c.hasTemperature;
        test.hasCapacitance = c.hasCapacitance;
        test.stepCount = c.stepCount;
        for (int i = 0; i < 5; ++i) std::snprintf(test.stepResultText[i], 80, "STEP %d", i);
        std::snprintf(test.stepIntervalText, 80, "00:30");
        std::snprintf(test.temperatureText, 80, "70 F");
        std::snprintf(test.equivRes40CText, 80, "E40");
        std::snprintf(test.equivRes20CText, 80, "E20");
        std::snprintf(test.piRatioText, 80, "PI");
        std::snprintf(test.ddRatioText, 80, "DD");
        std::snprintf(test.resistanceAt1MinText, 80, "R1");
        std::snprintf(test.currentAt1MinText, 80, "I1");
        f.Page();

        const int H = 32;
        const int resultTop = 25 + 4 * H + 3 * (H / 2);
        std::vector<Call> results;  // left-aligned texts that are not the time table
        for (const Call& call : f.surface.Of(Op::DrawText))
            if (call.format == platform::kDrawTextLeft && call.text.rfind("R@", 0) != 0) results.push_back(call);
        std::size_t next = 0;
        for (std::size_t row = 0; row < c.lines.size(); ++row) {
            if (c.lines[row].empty()) continue;
            ASSERT_LT(next, results.size()) << c.name;
            const Call& call = results[next++];
            EXPECT_EQ(call.text, c.lines[row]) << c.name;
            EXPECT_EQ(call.rect.top, resultTop + static_cast<int>(row) * H) << c.name << " " << c.lines[row];
            const int left = c.type == 5 && row >= 3 ? 20 + bw / 2 - 30 * W : c.left;
            EXPECT_EQ(call.rect.left, left) << c.name << " " << c.lines[row];
            EXPECT_EQ(call.rect.right, 1580);
            EXPECT_EQ(call.rect.bottom, 500);
        }
        EXPECT_EQ(next, results.size()) << c.name;
        EXPECT_EQ(f.Curves().size(), 2u) << c.name;  // the plots, whatever the type
    }
}

TEST(DrawPage, EveryResultLineAndTimeTableEntryStandsWholeInsideTheBoxOnEveryScreenAndSheet)
{
    const struct {
        int width, height, printing;
    } targets[] = {
        {640, 480, 0},   {800, 600, 0},   {1024, 768, 0},  {1280, 1024, 0}, {1366, 768, 0},  {1600, 1000, 0},
        {1920, 1080, 0}, {2560, 1440, 0}, {3840, 2160, 0}, {1000, 1600, 0},  // and a screen turned upright
        {6600, 5100, 1}, {5100, 6600, 1}, {7016, 4961, 1}, {4961, 7016, 1},  // Letter and A4 at 600 dpi
    };
    for (const auto& target : targets) {
        for (int type = 1; type <= 5; ++type) {
            Fixture f(1, target.width, target.height, kRealRatio);
            CKELFile& test = f.records[0];
            Fill(test, type, 900);
            // The longest texts each field takes.
            test.hasTemperature = test.hasCapacitance = 1;
            test.stepCount = 5;
            for (int i = 0; i < 5; ++i) std::snprintf(test.stepResultText[i], 80, "AT 05:00,  5000V,  R = 100.00 G");
            for (char* text : {test.finalResistanceText, test.finalCurrentText, test.resistanceAt1MinText,
                               test.currentAt1MinText, test.equivRes40CText})
                std::snprintf(text, 80, "100.000 G");
            std::snprintf(test.equivRes20CText, 80, "400.000 G");
            std::snprintf(test.capacitanceText, 80, "655.34 uF");
            std::snprintf(test.durationText, 80, "15:00 MIN");
            std::snprintf(test.temperatureText, 80, "254 F");
            std::snprintf(test.stepIntervalText, 80, "05:00");
            f.Page(target.printing);

            const Call* box = nullptr;
            for (const Call& call : f.surface.calls)
                if (call.op == Op::Rectangle && !box && call.rect.left == 20 && call.rect.top == 20) box = &call;
            ASSERT_TRUE(box);
            const int clip = target.height / 2;
            int results = 0;
            std::vector<Rect> cells;
            for (const Call& call : f.surface.Of(Op::DrawText)) {
                if (call.format != platform::kDrawTextLeft) continue;  // the centred header lines
                ++results;
                const int H = call.font.height, W = static_cast<int>(H * kRealRatio);
                const Rect cell{call.rect.left, call.rect.top, call.rect.left + static_cast<int>(call.text.size()) * W,
                                call.rect.top + H};
                for (const Rect& other : cells)
                    EXPECT_FALSE(cell.left < other.right && other.left < cell.right && cell.top < other.bottom &&
                                 other.top < cell.bottom)
                        << call.text << " runs into another text";
                cells.push_back(cell);
                const std::string where = std::to_string(target.width) + "x" + std::to_string(target.height) +
                                          (target.printing ? " sheet" : " screen") + ", type " +
                                          std::to_string(type) + ": " + call.text;
                EXPECT_GT(call.rect.left, box->rect.left) << where;
                EXPECT_LT(call.rect.left + static_cast<int>(call.text.size()) * W, box->rect.right) << where;
                EXPECT_LE(call.rect.top + H, std::min(clip, box->rect.bottom - 1)) << where;
            }
            EXPECT_GE(results, type == 1 || type == 3 ? 27 : 7) << type;
        }
    }
}

TEST(DrawPage, TimeTableInTwoColumns)
{
    for (const int type : {1, 3, 2}) {
        Fixture f(1, 1600, 1000, kRealRatio);
        Fill(f.records[0], type, 900);
        f.Page();
        std::vector<Call> entries;
        for (const Call& call : f.surface.Of(Op::DrawText))
            if (call.text.rfind("R@", 0) == 0) entries.push_back(call);
        if (type == 2) {
            EXPECT_TRUE(entries.empty());
            continue;
        }
        ASSERT_EQ(entries.size(), 18u);
        const int H = 32, W = 16, resultTop = 25 + 4 * H + 3 * (H / 2);
        EXPECT_EQ(entries[0].text, "R@15sec : 16.000 G");  // sample 15 is the 16th second
        EXPECT_EQ(entries[0].rect.left, 20 + 50 * W);
        EXPECT_EQ(entries[8].rect.top, resultTop + 8 * H);   // 6 minutes: the last of the first column
        EXPECT_EQ(entries[9].text, "R@7min : 421.000 G");
        EXPECT_EQ(entries[9].rect.left, 20 + 70 * W);
        EXPECT_EQ(entries[9].rect.top, resultTop);
        EXPECT_EQ(entries[17].text, "R@15min : 9.999 T");   // t = sampleCount: the final text
    }
}

TEST(DrawPage, PlotRectanglesAndZoom)
{
    Fixture f(3);
    f.Page();
    const auto titles = [&](const Fixture& fixture) {
        std::vector<Call> found;
        for (const Call& call : fixture.surface.Of(Op::DrawText))
            if (call.text.find("Plot") != std::string::npos) found.push_back(call);
        return found;
    };
    const int H = 32;
    const int plotTop = 20 + 16 * H + 10;
    const int mid = 10 + (1590 - 10) / 2;
    auto plots = titles(f);
    ASSERT_EQ(plots.size(), 2u);
    EXPECT_EQ(plots[0].rect, (Rect{10, plotTop, mid, 1000}));
    EXPECT_EQ(plots[1].rect, (Rect{mid + 10, plotTop, 1590, 1000}));
    EXPECT_EQ(f.Curves().size(), 6u);  // three tests in both plots

    for (const int zoomResistance : {1, 0}) {
        Fixture z(3);
        z.Page(0, 1, zoomResistance);
        plots = titles(z);
        ASSERT_EQ(plots.size(), 1u);
        EXPECT_EQ(plots[0].text, zoomResistance ? "Resistance Plot" : "Current Plot");
        EXPECT_EQ(plots[0].rect, (Rect{50, 0, 1550, 1000}));
        EXPECT_FALSE(z.surface.Text("Test Number:"));
        EXPECT_EQ(z.surface.Of(Op::Rectangle).size(), 3u);  // the blue page and the frame's fill and outline
    }
}

}  // namespace
