// An automation server for tests: every object records each call it gets
// ("Workbooks get 0x23c" ...) and its release into one shared log, and the
// cells written land in a grid.
#pragma once

#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/automation.h"

namespace kel_test {

struct DispatchLog {
    std::vector<std::string> calls;
    std::map<std::pair<int, int>, std::string> cells;     // (row, column) from 1
    std::map<std::pair<int, int>, std::string> formats;
    int failAtCall = -1;                                  // fail this call (0-based)
    std::string failText;
};

class RecordingDispatch : public platform::DispatchObject {
public:
    RecordingDispatch(std::shared_ptr<DispatchLog> log, std::string name, int row = 0, int column = 0)
        : log_(std::move(log)), name_(std::move(name)), row_(row), column_(column) {}
    ~RecordingDispatch() override { log_->calls.push_back("release " + name_); }

    bool Invoke(int dispId, int kind, const std::vector<platform::Variant>& args, platform::Variant& result,
                std::string& error) override
    {
        char call[64];
        std::snprintf(call, sizeof call, "%s %s 0x%x", name_.c_str(),
                      kind == platform::kDispatchMethod ? "method" : kind == platform::kDispatchPropertyGet ? "get" : "put",
                      dispId);
        std::string line = call;
        for (const auto& arg : args) line += " " + Describe(arg);
        if (static_cast<int>(log_->calls.size()) == log_->failAtCall) {
            log_->calls.push_back(line + " FAILED");
            error = log_->failText;
            return false;
        }
        log_->calls.push_back(line);
        if (name_ == "range") {
            (dispId == 0xC1 ? log_->formats : log_->cells)[{row_, column_}] = args.at(0).bstr;
        }
        static const std::map<std::pair<std::string, int>, std::string> children = {
            {{"application", 0x23C}, "workbooks"}, {{"workbooks", 0xB5}, "workbook"},
            {{"workbook", 0x1E5}, "sheets"},       {{"sheets", 0xAA}, "sheet"},
            {{"sheet", 0xC5}, "range"},
        };
        const auto child = children.find({name_, dispId});
        if (child != children.end()) {
            int row = 0;
            char column = 0;
            if (child->second == "range") std::sscanf(args.at(0).bstr.c_str(), "%c%d", &column, &row);
            result = platform::Variant::Object(
                std::make_shared<RecordingDispatch>(log_, child->second, row, column - 'A' + 1));
        }
        return true;
    }

    static std::string Describe(const platform::Variant& v)
    {
        switch (v.type) {
        case platform::Variant::Type::Error:
            return v.error == platform::kParamNotFound ? "<optional>" : "<error>";
        case platform::Variant::Type::I2: return "i2:" + std::to_string(v.i2);
        case platform::Variant::Type::Bstr: return "'" + v.bstr + "'";
        case platform::Variant::Type::Dispatch: return "<object>";
        default: return "<empty>";
        }
    }

private:
    std::shared_ptr<DispatchLog> log_;
    std::string name_;
    int row_, column_;
};

}  // namespace kel_test
