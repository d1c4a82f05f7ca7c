// The trend page: every column of the table on the sheet, in either orientation.
#include "display/trend_drawing.h"

#include <gtest/gtest.h>

#include "support/recording_surface.h"

namespace {

using history::TestPoint;

TEST(TrendPage, EveryColumnStandsOnTheSheetInEitherOrientation)
{
    history::Asset asset;
    asset.company = "HARBOR FOODS INC";
    asset.location = "MCC ROOM 2";
    asset.description = "PUMP MOTOR 3";
    for (int year = 2020; year < 2026; ++year) {
        TestPoint test;
        test.dateTime = std::to_string(year) + "-05-01T10:00:00";
        test.testTypeName = year % 2 ? "Dielectric Discharge" : "Polarization Index";
        test.testVoltage = 5000;
        test.resistance1Min = 1e9 * (2030 - year);
        test.resistance1Min40C = 5e8 * (2030 - year);
        test.piRatio = 2.5;
        if (year % 2) test.ddRatio = 1.8;
        test.darRatio = 1.4;
        test.flags = {history::kIrBelowMinimum, history::kPiBelowMinimum, history::kDropped};
        asset.tests.push_back(test);
    }
    const struct {
        const char* name;
        int width, height;
    } sheets[] = {{"landscape", 3508, 2480}, {"portrait", 2480, 3508}, {"window", 900, 700}};
    for (const auto& sheet : sheets) {
        kel_test::RecordingSurface surface(sheet.width, sheet.height);
        DrawTrendPage(surface, asset, {}, {0, 0, sheet.width - 1, sheet.height - 1});
        for (const char* head : {"R 1 min @40C", "PI", "DD", "DAR", "Flags"})
            EXPECT_TRUE(surface.Text(head)) << sheet.name << ": " << head;
        for (const kel_test::Call& call : surface.Of(kel_test::Op::TextOut)) {
            const int right = call.rect.left + static_cast<int>(call.text.size()) * static_cast<int>(call.font.height * 0.6);
            EXPECT_LE(right, sheet.width) << sheet.name << ": " << call.text;
        }
    }
}

}  // namespace
