#include "platform/xlsx_book.h"

#include "platform/atomic_file.h"

#include <xlsxwriter.h>

#include <algorithm>
#include <vector>

namespace platform {

struct XlsxBook::State {
    // libxlsxwriter keeps each sheet in a temporary file of its own, which an
    // interrupt could leave behind: a signal waits until the book is closed.
    InterruptsDeferred interrupts;
    lxw_workbook* workbook = nullptr;
    std::vector<lxw_worksheet*> sheets;
    std::vector<std::string> sheetNames;
    lxw_format* bold = nullptr;
    lxw_format* scientific = nullptr;
    lxw_format* dateTime = nullptr;
    bool failed = false;

    void Check(lxw_error error)
    {
        if (error != LXW_NO_ERROR) failed = true;
    }
};

XlsxBook::XlsxBook(const std::string& path) : state_(std::make_unique<State>())
{
    // Rows go out as they are written (each sheet row by row), not kept in memory.
    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE;
    state_->workbook = workbook_new_opt(path.c_str(), &options);
    if (!state_->workbook) {
        state_->failed = true;
        return;
    }
    state_->bold = workbook_add_format(state_->workbook);
    format_set_bold(state_->bold);
    state_->scientific = workbook_add_format(state_->workbook);
    format_set_num_format(state_->scientific, "0.000E+00");
    state_->dateTime = workbook_add_format(state_->workbook);
    format_set_num_format(state_->dateTime, "yyyy-mm-dd hh:mm:ss");
}

XlsxBook::~XlsxBook()
{
    // A workbook never closed is still freed; libxlsxwriter frees on close only.
    if (state_->workbook) {
        workbook_close(state_->workbook);
        state_->workbook = nullptr;
    }
}

int XlsxBook::AddSheet(const std::string& name)
{
    lxw_worksheet* sheet = state_->workbook ? workbook_add_worksheet(state_->workbook, name.c_str()) : nullptr;
    if (!sheet) state_->failed = true;
    state_->sheets.push_back(sheet);
    state_->sheetNames.push_back(name);
    return static_cast<int>(state_->sheets.size()) - 1;
}

namespace {

lxw_row_t Row(int row)
{
    return static_cast<lxw_row_t>(row);
}

lxw_col_t Column(int column)
{
    return static_cast<lxw_col_t>(column);
}

}  // namespace

void XlsxBook::Label(int sheet, int row, int column, const std::string& utf8)
{
    if (lxw_worksheet* s = state_->sheets.at(static_cast<std::size_t>(sheet)))
        state_->Check(worksheet_write_string(s, Row(row), Column(column), utf8.c_str(), state_->bold));
}

void XlsxBook::Text(int sheet, int row, int column, const std::string& utf8)
{
    if (lxw_worksheet* s = state_->sheets.at(static_cast<std::size_t>(sheet)))
        state_->Check(worksheet_write_string(s, Row(row), Column(column), utf8.c_str(), nullptr));
}

void XlsxBook::Number(int sheet, int row, int column, double value)
{
    if (lxw_worksheet* s = state_->sheets.at(static_cast<std::size_t>(sheet)))
        state_->Check(worksheet_write_number(s, Row(row), Column(column), value, nullptr));
}

void XlsxBook::Scientific(int sheet, int row, int column, double value)
{
    if (lxw_worksheet* s = state_->sheets.at(static_cast<std::size_t>(sheet)))
        state_->Check(worksheet_write_number(s, Row(row), Column(column), value, state_->scientific));
}

void XlsxBook::DateTime(int sheet, int row, int column, const XlsxDateTime& when)
{
    lxw_datetime value{when.year, when.month, when.day, when.hour, when.minute, static_cast<double>(when.second)};
    if (lxw_worksheet* s = state_->sheets.at(static_cast<std::size_t>(sheet)))
        state_->Check(worksheet_write_datetime(s, Row(row), Column(column), &value, state_->dateTime));
}

void XlsxBook::ColumnWidth(int sheet, int firstColumn, int lastColumn, double characters)
{
    if (lxw_worksheet* s = state_->sheets.at(static_cast<std::size_t>(sheet)))
        state_->Check(worksheet_set_column(s, Column(firstColumn), Column(lastColumn), characters, nullptr));
}

void XlsxBook::FreezeTopRow(int sheet)
{
    if (lxw_worksheet* s = state_->sheets.at(static_cast<std::size_t>(sheet))) worksheet_freeze_panes(s, 1, 0);
}

void XlsxBook::PrintOneSheetWide(int sheet)
{
    if (lxw_worksheet* s = state_->sheets.at(static_cast<std::size_t>(sheet))) {
        worksheet_set_landscape(s);
        worksheet_fit_to_pages(s, 1, 0);
    }
}

void XlsxBook::InsertLineChart(int sheet, const XlsxLineChart& wanted)
{
    lxw_worksheet* target = state_->sheets.at(static_cast<std::size_t>(sheet));
    if (!state_->workbook || !target) return;
    lxw_chart* chart = workbook_add_chart(state_->workbook, LXW_CHART_LINE);
    if (!chart) {
        state_->failed = true;
        return;
    }
    lxw_chart_series* series = chart_add_series(chart, nullptr, nullptr);
    const char* data = wanted.dataSheet.c_str();
    chart_series_set_categories(series, data, Row(wanted.firstRow), Column(wanted.categoryColumn), Row(wanted.lastRow),
                                Column(wanted.categoryColumn));
    chart_series_set_values(series, data, Row(wanted.firstRow), Column(wanted.valueColumn), Row(wanted.lastRow),
                            Column(wanted.valueColumn));
    chart_series_set_name(series, wanted.yTitle.c_str());
    chart_title_set_name(chart, wanted.title.c_str());
    chart_axis_set_name(chart->x_axis, wanted.xTitle.c_str());
    chart_axis_set_name(chart->y_axis, wanted.yTitle.c_str());
    if (wanted.logarithmic) chart_axis_set_log_base(chart->y_axis, 10);
    chart_axis_set_num_format(chart->y_axis, "0E+00");
    // About ten time labels across, whatever the test's length.
    const int points = wanted.lastRow - wanted.firstRow + 1;
    if (points > 20) {
        const auto every = static_cast<uint16_t>(std::min(points / 10, 65535));
        chart_axis_set_interval_unit(chart->x_axis, every);
        chart_axis_set_interval_tick(chart->x_axis, every);
    }
    chart_legend_set_position(chart, LXW_CHART_LEGEND_NONE);
    lxw_chart_options options{};
    options.x_scale = 2.0;
    options.y_scale = 1.5;
    state_->Check(worksheet_insert_chart_opt(target, Row(wanted.anchorRow), Column(wanted.anchorColumn), chart, &options));
}

bool XlsxBook::Close()
{
    if (!state_->workbook) return false;
    const lxw_error error = workbook_close(state_->workbook);
    state_->workbook = nullptr;
    return error == LXW_NO_ERROR && !state_->failed;
}

}  // namespace platform
