// The built-in workbook server: the automation members the export calls,
// in process, writing an Excel 97-2003 workbook of the first sheet's cells on
// SaveAs. The default wherever Excel is not there.
#pragma once

#include <memory>

#include "platform/automation.h"

namespace export_server {

// Dispatch ids of the members the export uses.
constexpr int kWorkbooks = 0x23C;
constexpr int kAdd = 0xB5;
constexpr int kSheets = 0x1E5;
constexpr int kItem = 0xAA;
constexpr int kRange = 0xC5;
constexpr int kNumberFormat = 0xC1;
constexpr int kValue2 = 0x56C;
constexpr int kSaveAs = 0x785;
constexpr int kQuit = 0x12E;

// A new application object of the built-in server.
std::shared_ptr<platform::DispatchObject> CreateBuiltinApplication();

}  // namespace export_server
