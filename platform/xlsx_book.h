// An Office Open XML workbook (.xlsx) with typed cells and native line charts,
// written when it is closed. Behind it stands libxlsxwriter; the core sees only this.
#pragma once

#include <memory>
#include <string>

namespace platform {

struct XlsxDateTime {
    int year = 2000, month = 1, day = 1, hour = 0, minute = 0, second = 0;
};

// A line chart of one column against another of the same sheet (0-based rows and columns).
struct XlsxLineChart {
    std::string title;
    std::string xTitle;
    std::string yTitle;
    bool logarithmic = false;  // the value axis in decades
    std::string dataSheet;
    int firstRow = 0, lastRow = 0;
    int categoryColumn = 0, valueColumn = 0;
    int anchorRow = 0, anchorColumn = 0;  // where its top-left corner stands on the sheet it is put on
};

class XlsxBook {
public:
    // A workbook that will be written to `path` when closed.
    explicit XlsxBook(const std::string& path);
    ~XlsxBook();
    XlsxBook(const XlsxBook&) = delete;
    XlsxBook& operator=(const XlsxBook&) = delete;

    // Adds a sheet and returns its index (the first is 0).
    int AddSheet(const std::string& name);
    void Label(int sheet, int row, int column, const std::string& utf8);  // bold text
    void Text(int sheet, int row, int column, const std::string& utf8);
    void Number(int sheet, int row, int column, double value);
    // A number shown as 1.234E+09.
    void Scientific(int sheet, int row, int column, double value);
    void DateTime(int sheet, int row, int column, const XlsxDateTime& when);
    void ColumnWidth(int sheet, int firstColumn, int lastColumn, double characters);
    // The first row stays in view while the rest scrolls.
    void FreezeTopRow(int sheet);
    // Printed on landscape sheets, as wide as one sheet.
    void PrintOneSheetWide(int sheet);
    void InsertLineChart(int sheet, const XlsxLineChart& chart);
    // Writes the file; false when it could not be written (or a step before failed).
    bool Close();

private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace platform
