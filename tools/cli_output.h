// How kel7300-cli writes for people and for other programs: every text from a
// file, a tester or a file name is shown so that it cannot drive a terminal or
// a spreadsheet, and one exit status tells a partial result apart.
#pragma once

#include <nlohmann/json.hpp>

#include <string>

#include "status/status.h"

namespace cli {

using Json = nlohmann::ordered_json;

// The command did its work but left something out, each named on standard error.
constexpr int kPartial = 2;

// Text for the terminal: control characters as escapes (\t, \x1b, ...).
std::string Printable(const std::string& utf8);

// "kel7300-cli: MESSAGE" on standard error, control characters escaped; returns 1.
int Fail(const std::string& message);

// One JSON line: bytes that are not UTF-8 become U+FFFD, and DEL and the C1
// controls are escaped (\u007f, \u0080-\u009f) as the C0 controls are.
std::string JsonLine(const Json& json);

// A CSV text field (RFC 4180): control characters escaped, quoted when it holds
// a comma, a quote or a line break, and prefixed with a single quote when it
// begins with =, +, -, @, a tab or a carriage return, so that a spreadsheet
// takes it as text and never as a formula. Numbers are not texts: they are
// written as they are.
std::string CsvText(const std::string& utf8);

// "FILE: not a KEL-7300 test file (why)", with the reason the status carries.
std::string NotATestLine(const std::string& file, const Status& status);

}  // namespace cli
