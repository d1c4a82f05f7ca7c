#include "display/trend_drawing.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <optional>
#include <vector>

namespace {

using history::Asset;
using history::TestPoint;
using platform::Color;
using platform::DrawingSurface;
using platform::Rect;

constexpr Color kInk{0, 0, 0};
constexpr Color kPaper{255, 255, 255};
constexpr Color kGrid{200, 200, 200};
constexpr Color kUncorrected{0, 128, 0};
constexpr Color kCorrected{0, 0, 200};
constexpr Color kPi{200, 100, 0};
constexpr Color kAlarm{220, 0, 0};

// Days since 1970-01-01 of an ISO date-time, with the time of day as a fraction;
// the tester's clock knows no time zone, so neither does this.
double DayOf(const std::string& dateTime)
{
    int year = 2000, month = 1, day = 1, hour = 0, minute = 0, second = 0;
    std::sscanf(dateTime.c_str(), "%d-%d-%dT%d:%d:%d", &year, &month, &day, &hour, &minute, &second);
    const int y = month <= 2 ? year - 1 : year;
    const int era = (y >= 0 ? y : y - 399) / 400;
    const int yearOfEra = y - era * 400;
    const int dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const int dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097.0 + dayOfEra - 719468 + (hour * 3600 + minute * 60 + second) / 86400.0;
}

class TrendPainter {
public:
    TrendPainter(DrawingSurface& dc, const Asset& asset, const history::Limits& limits)
        : dc_(dc), asset_(asset), limits_(limits) {}

    void Draw(const Rect& page)
    {
        dc_.SelectNullPen();
        dc_.SelectBrush({kPaper});
        dc_.Rectangle(page.left, page.top, page.right + 1, page.bottom + 1);
        dc_.SetBkColor(kPaper);
        dc_.SetTextColor(kInk);

        // The type fits the sheet's height and width alike: a portrait sheet takes smaller type.
        const int H = std::max(8, std::min(page.Height() / 48, page.Width() / 68));
        Font(H + H / 2, 700);
        int y = page.top + H;
        Text(page.left + 2 * W_, y, "Asset Trend");
        y += H_ + H / 2;
        Font(H, 700);
        Text(page.left + 2 * W_, y, "Company:     " + asset_.company);
        Text(page.left + 2 * W_, y + H_, "Location:    " + asset_.location);
        Text(page.left + 2 * W_, y + 2 * H_, "Description: " + asset_.description);
        y += 3 * H_ + H;

        Font(H, 400);
        const int tableRows = std::min<int>(static_cast<int>(asset_.tests.size()), 12);
        const int tableTop = page.bottom - (tableRows + 3) * H_;
        const Rect plot{page.left + 12 * W_, y + H_, page.right - 10 * W_, tableTop - 4 * H_};
        if (plot.Height() > 4 * H_ && plot.Width() > 20 * W_) Plot(plot);
        Table(page.left + 2 * W_, tableTop, page.right - 2 * W_, tableRows);
        dc_.DeleteFont();
    }

private:
    void Font(int height, int weight)
    {
        platform::FontSpec font;
        font.height = height;
        font.weight = weight;
        font.faceName = "Courier New";
        dc_.SelectFont(font);
        const platform::TextMetrics metrics = dc_.GetTextMetrics();
        H_ = metrics.tmHeight;
        W_ = std::max(1, metrics.tmAveCharWidth);
    }

    void Text(int x, int y, const std::string& text)
    {
        dc_.TextOut(x, y, text.c_str(), static_cast<int>(text.size()));
    }

    void Pen(Color color, int width = 1)
    {
        dc_.SelectPen({platform::kPenSolid, width, color});
    }

    void Line(int x1, int y1, int x2, int y2)
    {
        dc_.MoveTo(x1, y1);
        dc_.LineTo(x2, y2);
    }

    void Plot(const Rect& frame)
    {
        // The resistance decades that hold every reading and the minimum.
        double low = limits_.minIrOhms, high = limits_.minIrOhms;
        double piHigh = std::max(4.0, limits_.minPi * 2);
        for (const TestPoint& test : asset_.tests) {
            for (const std::optional<double>& r : {test.resistance1Min, test.resistance1Min40C}) {
                if (!r || *r <= 0) continue;
                low = std::min(low, *r);
                high = std::max(high, *r);
            }
            if (test.piRatio) piHigh = std::max(piHigh, std::ceil(*test.piRatio + 0.5));
        }
        const int lowDecade = static_cast<int>(std::floor(std::log10(low)));
        const int highDecade = std::max(lowDecade + 1, static_cast<int>(std::ceil(std::log10(high) + 1e-9)));
        const auto yOfOhms = [&](double ohms) {
            const double at = (std::log10(ohms) - lowDecade) / (highDecade - lowDecade);
            return frame.bottom - static_cast<int>(std::lround(at * frame.Height()));
        };
        const auto yOfPi = [&](double pi) {
            return frame.bottom - static_cast<int>(std::lround(pi / piHigh * frame.Height()));
        };
        const double first = DayOf(asset_.tests.front().dateTime), last = DayOf(asset_.tests.back().dateTime);
        const int inset = 4 * W_;
        const auto xOf = [&](const TestPoint& test) {
            if (last <= first) return (frame.left + frame.right) / 2;
            const double at = (DayOf(test.dateTime) - first) / (last - first);
            return frame.left + inset + static_cast<int>(std::lround(at * (frame.Width() - 2 * inset)));
        };

        // The frame, a line per decade with its label, and the PI scale on the right.
        dc_.SelectNullBrush();
        Pen(kGrid);
        char label[32];
        for (int decade = lowDecade; decade <= highDecade; ++decade) {
            const int y = yOfOhms(std::pow(10.0, decade));
            Line(frame.left, y, frame.right, y);
            // A decade reads "1 T", "100 G", "10 M": its value in the largest unit below it.
            static constexpr const char* kUnits[] = {"", "k", "M", "G", "T", "P"};
            const int unit = std::clamp(decade / 3, 0, 5);
            std::snprintf(label, sizeof label, "%.0f %s", std::pow(10.0, decade - 3 * unit), kUnits[unit]);
            std::string text = label;
            if (text.back() == ' ') text.pop_back();
            Text(frame.left - static_cast<int>(text.size() + 1) * W_, y - H_ / 2, text);
        }
        for (int pi = 0; pi <= static_cast<int>(piHigh); ++pi) {
            std::snprintf(label, sizeof label, "%d", pi);
            dc_.SetTextColor(kPi);
            Text(frame.right + W_, yOfPi(pi) - H_ / 2, label);
        }
        dc_.SetTextColor(kInk);
        Pen(kInk);
        dc_.Rectangle(frame.left, frame.top, frame.right + 1, frame.bottom + 1);
        Text(frame.left, frame.top - 3 * H_ / 2, "Resistance at 1 min (ohms, log)");
        dc_.SetTextColor(kPi);
        Text(frame.right - 12 * W_, frame.top - 3 * H_ / 2, "PI");
        dc_.SetTextColor(kInk);

        // The minimums as lines across the plot.
        Pen(kAlarm);
        const int minIrY = yOfOhms(limits_.minIrOhms);
        Line(frame.left, minIrY, frame.right, minIrY);
        dc_.SetTextColor(kAlarm);
        Text(frame.left + W_, minIrY - H_ - 1, "min IR " + OhmsText(limits_.minIrOhms));
        Pen(kPi);
        const int minPiY = yOfPi(limits_.minPi);
        for (int x = frame.left; x < frame.right; x += 4 * W_) Line(x, minPiY, std::min(x + 2 * W_, frame.right), minPiY);
        dc_.SetTextColor(kPi);
        std::snprintf(label, sizeof label, "min PI %.1f", limits_.minPi);
        Text(frame.left + 24 * W_, minPiY - H_ - 1, label);
        dc_.SetTextColor(kInk);

        // Each series joined by a line, each reading marked.
        const int mark = std::max(2, W_ / 2);
        const auto series = [&](Color color, auto value, auto yOf, bool filled) {
            Pen(color, std::max(1, W_ / 6));
            std::optional<platform::Point> previous;
            for (const TestPoint& test : asset_.tests) {
                const std::optional<double> v = value(test);
                if (!v || *v <= 0) continue;
                const platform::Point at{xOf(test), yOf(*v)};
                if (previous) Line(previous->x, previous->y, at.x, at.y);
                previous = at;
            }
            for (const TestPoint& test : asset_.tests) {
                const std::optional<double> v = value(test);
                if (!v || *v <= 0) continue;
                const int x = xOf(test), y = yOf(*v);
                if (filled) dc_.SelectBrush({color});
                else dc_.SelectBrush({kPaper});
                dc_.Rectangle(x - mark, y - mark, x + mark + 1, y + mark + 1);
            }
            dc_.SelectNullBrush();
        };
        series(kUncorrected, [](const TestPoint& t) { return t.resistance1Min; }, yOfOhms, false);
        series(kCorrected, [](const TestPoint& t) { return t.resistance1Min40C; }, yOfOhms, true);
        series(kPi, [](const TestPoint& t) { return t.piRatio; }, yOfPi, true);

        // Flagged tests: a red ring around the date and "!" above the plot.
        Pen(kAlarm, std::max(1, W_ / 4));
        dc_.SetTextColor(kAlarm);
        for (const TestPoint& test : asset_.tests) {
            if (!test.Has(history::kIrBelowMinimum) && !test.Has(history::kPiBelowMinimum) &&
                !test.Has(history::kDropped))
                continue;
            const int x = xOf(test);
            Line(x, frame.top, x, frame.bottom);
            Text(x - W_ / 2, frame.top + H_ / 4, "!");
        }
        dc_.SetTextColor(kInk);

        // The dates under the plot, as many as fit.
        int freeFrom = frame.left - 100 * W_;
        for (const TestPoint& test : asset_.tests) {
            const std::string date = test.dateTime.substr(0, 10);
            const int x = xOf(test) - 5 * W_;
            if (x < freeFrom) continue;
            Text(x, frame.bottom + H_ / 3, date);
            freeFrom = x + 12 * W_;
        }

        // The legend.
        const int legendY = frame.bottom + 3 * H_ / 2;
        int x = frame.left;
        const auto legend = [&](Color color, bool filled, const std::string& text) {
            Pen(color);
            dc_.SelectBrush({filled ? color : kPaper});
            dc_.Rectangle(x, legendY + H_ / 2 - mark, x + 2 * mark + 1, legendY + H_ / 2 + mark + 1);
            Text(x + 3 * mark, legendY, text);
            x += 3 * mark + static_cast<int>(text.size() + 3) * W_;
        };
        legend(kUncorrected, false, "1 min, as measured");
        legend(kCorrected, true, "1 min at 40 C (tester's factor)");
        legend(kPi, true, "PI");
        dc_.SelectNullBrush();
        dc_.SetTextColor(kAlarm);
        Text(x, legendY, "! flagged");
        dc_.SetTextColor(kInk);
    }

    void Table(int left, int top, int right, int rows)
    {
        // The DD column stands only for an asset with dielectric-discharge tests.
        const bool dd = std::any_of(asset_.tests.begin(), asset_.tests.end(),
                                    [](const TestPoint& test) { return test.ddRatio.has_value(); });
        std::vector<std::string> heads = {"Date/Time", "Test", "Type", "Volts", "R 1 min", "R 1 min @40C", "PI"};
        std::vector<int> widths = {21, 6, 23, 7, 10, 14, 7};
        if (dd) heads.push_back("DD"), widths.push_back(7);
        heads.insert(heads.end(), {"DAR", "Flags"});
        widths.insert(widths.end(), {7, 0});
        // Every column fits the sheet, whatever its orientation: the font shrinks until the
        // longest row (its flags included) is as wide as the page.
        std::size_t longestFlags = 5;
        for (const TestPoint& test : asset_.tests) {
            std::size_t length = 0;
            for (const std::string& flag : test.flags) length += flag.size() + 1;
            longestFlags = std::max(longestFlags, length);
        }
        int chars = static_cast<int>(longestFlags);
        for (const int width : widths) chars += width;
        if (chars * W_ > right - left) Font(std::max(1, H_ * (right - left) / (chars * W_)), 400);
        const auto row = [&](int y, const std::vector<std::string>& cells) {
            int x = left;
            for (std::size_t c = 0; c < cells.size(); ++c) {
                Text(x, y, cells[c]);
                x += widths[c] * W_;
            }
        };
        Pen(kInk);
        row(top, heads);
        Line(left, top + H_, right, top + H_);
        const int skipped = static_cast<int>(asset_.tests.size()) - rows;
        int y = top + H_ + H_ / 4;
        for (int i = std::max(0, skipped); i < static_cast<int>(asset_.tests.size()); ++i, y += H_) {
            const TestPoint& test = asset_.tests[static_cast<std::size_t>(i)];
            const auto ratio = [](const std::optional<double>& value) {
                char text[16];
                std::snprintf(text, sizeof text, "%.2f", value.value_or(0));
                return value ? std::string(text) : std::string("-");
            };
            const auto ohms = [](const std::optional<double>& value) {
                return value ? OhmsText(*value) : std::string("-");
            };
            std::string flags;
            for (const std::string& flag : test.flags) flags += (flags.empty() ? "" : " ") + flag;
            std::string dateTime = test.dateTime;
            std::replace(dateTime.begin(), dateTime.end(), 'T', ' ');
            const bool alarm = test.Has(history::kIrBelowMinimum) || test.Has(history::kPiBelowMinimum) ||
                               test.Has(history::kDropped);
            dc_.SetTextColor(alarm ? kAlarm : kInk);
            std::vector<std::string> cells = {dateTime, std::to_string(test.testNumber), test.testTypeName,
                                              std::to_string(test.testVoltage), ohms(test.resistance1Min),
                                              ohms(test.resistance1Min40C), ratio(test.piRatio)};
            if (dd) cells.push_back(ratio(test.ddRatio));
            cells.insert(cells.end(), {ratio(test.darRatio), flags});
            row(y, cells);
        }
        dc_.SetTextColor(kInk);
        if (skipped > 0) {
            char note[96];
            std::snprintf(note, sizeof note, "(%d earlier tests in the table of the window)", skipped);
            Text(left, y, note);
        }
    }

    DrawingSurface& dc_;
    const Asset& asset_;
    const history::Limits& limits_;
    int H_ = 0;
    int W_ = 1;
};

}  // namespace

std::string OhmsText(double ohms)
{
    static constexpr struct {
        double scale;
        const char* unit;
    } kUnits[] = {{1e12, "T"}, {1e9, "G"}, {1e6, "M"}, {1e3, "k"}, {1, ""}};
    for (const auto& unit : kUnits) {
        if (ohms >= unit.scale || unit.scale == 1) {
            char text[32];
            const double value = ohms / unit.scale;
            std::snprintf(text, sizeof text, value >= 100 ? "%.0f %s" : value >= 10 ? "%.1f %s" : "%.2f %s", value,
                          unit.unit);
            std::string result = text;
            while (!result.empty() && result.back() == ' ') result.pop_back();
            return result;
        }
    }
    return {};
}

void DrawTrendPage(DrawingSurface& dc, const Asset& asset, const history::Limits& limits, const Rect& page)
{
    if (asset.tests.empty()) return;
    TrendPainter(dc, asset, limits).Draw(page);
}
