#include "export/builtin_server.h"

#include <cstdio>

#include "export/biff8/workbook_writer.h"
#include "platform/names.h"

namespace export_server {
namespace {

using platform::DispatchObject;
using platform::Variant;

bool Fail(std::string& error, const char* text)
{
    error = text;
    return false;
}

// One workbook's first sheet: its cells, shared by the objects that reach it.
struct SheetData {
    biff8::Sheet cells;
};

class Range : public DispatchObject {
public:
    Range(std::shared_ptr<SheetData> sheet, int row, int column) : sheet_(std::move(sheet)), row_(row), column_(column) {}
    bool Invoke(int dispId, int kind, const std::vector<Variant>& args, Variant&, std::string& error) override
    {
        if (kind != platform::kDispatchPropertyPut || args.size() != 1 || args[0].type != Variant::Type::Bstr)
            return Fail(error, "The range takes a text value or number format.");
        biff8::Cell& cell = sheet_->cells[{row_, column_}];
        if (dispId == kNumberFormat) {
            cell.textFormat = args[0].bstr == "@";
            return true;
        }
        if (dispId == kValue2) {
            cell.text = args[0].bstr;
            return true;
        }
        return Fail(error, "Unknown range member.");
    }

private:
    std::shared_ptr<SheetData> sheet_;
    int row_, column_;
};

// "B17": column letter, then the row; both counted from 1.
bool ParseCell(const std::string& name, int& row, int& column)
{
    char letter = 0;
    int number = 0;
    char rest = 0;
    if (std::sscanf(name.c_str(), "%c%d%c", &letter, &number, &rest) != 2 || letter < 'A' || letter > 'Z' ||
        number < 1 || number > 65536)
        return false;
    column = letter - 'A';
    row = number - 1;
    return true;
}

class Sheet : public DispatchObject {
public:
    explicit Sheet(std::shared_ptr<SheetData> data) : data_(std::move(data)) {}
    bool Invoke(int dispId, int kind, const std::vector<Variant>& args, Variant& result, std::string& error) override
    {
        if (dispId == kRange && kind == platform::kDispatchPropertyGet) {
            int row = 0, column = 0, row2 = 0, column2 = 0;
            if (args.size() != 2 || args[0].type != Variant::Type::Bstr || !ParseCell(args[0].bstr, row, column) ||
                args[1].type != Variant::Type::Bstr || !ParseCell(args[1].bstr, row2, column2) || row != row2 ||
                column != column2)
                return Fail(error, "The built-in server takes one-cell ranges only.");
            result = Variant::Object(std::make_shared<Range>(data_, row, column));
            return true;
        }
        if (dispId == kSaveAs && kind == platform::kDispatchMethod) {
            if (args.empty() || args[0].type != Variant::Type::Bstr) return Fail(error, "SaveAs wants a file name.");
            // The automation string is UTF-8; the file is opened by the system's name for it.
            if (!biff8::SaveWorkbook(args[0].bstr, data_->cells))
                return Fail(error, ("Can't write file " + args[0].bstr).c_str());
            return true;
        }
        return Fail(error, "Unknown sheet member.");
    }

private:
    std::shared_ptr<SheetData> data_;
};

class Sheets : public DispatchObject {
public:
    explicit Sheets(std::shared_ptr<SheetData> data) : data_(std::move(data)) {}
    bool Invoke(int dispId, int kind, const std::vector<Variant>& args, Variant& result, std::string& error) override
    {
        if (dispId != kItem || kind != platform::kDispatchPropertyGet || args.size() != 1 ||
            args[0].type != Variant::Type::I2 || args[0].i2 != 1)
            return Fail(error, "The built-in server has one sheet.");
        result = Variant::Object(std::make_shared<Sheet>(data_));
        return true;
    }

private:
    std::shared_ptr<SheetData> data_;
};

class Workbook : public DispatchObject {
public:
    bool Invoke(int dispId, int kind, const std::vector<Variant>&, Variant& result, std::string& error) override
    {
        if (dispId != kSheets || kind != platform::kDispatchPropertyGet) return Fail(error, "Unknown workbook member.");
        result = Variant::Object(std::make_shared<Sheets>(data_));
        return true;
    }

private:
    std::shared_ptr<SheetData> data_ = std::make_shared<SheetData>();
};

class Workbooks : public DispatchObject {
public:
    bool Invoke(int dispId, int kind, const std::vector<Variant>&, Variant& result, std::string& error) override
    {
        if (dispId != kAdd || kind != platform::kDispatchMethod) return Fail(error, "Unknown workbooks member.");
        result = Variant::Object(std::make_shared<Workbook>());
        return true;
    }
};

class Application : public DispatchObject {
public:
    bool Invoke(int dispId, int kind, const std::vector<Variant>&, Variant& result, std::string& error) override
    {
        if (dispId == kWorkbooks && kind == platform::kDispatchPropertyGet) {
            result = Variant::Object(std::make_shared<Workbooks>());
            return true;
        }
        if (dispId == kQuit && kind == platform::kDispatchMethod) return true;
        return Fail(error, "Unknown application member.");
    }
};

}  // namespace

std::shared_ptr<platform::DispatchObject> CreateBuiltinApplication()
{
    return std::make_shared<Application>();
}

}  // namespace export_server
