// Test file texts are single bytes, read as Latin-1. These convert them to and
// from UTF-8 for the world outside (terminals, JSON, widgets).
#pragma once

#include <string>
#include <string_view>

std::string Latin1ToUtf8(std::string_view latin1);
// Characters beyond Latin-1, and bytes that are not valid UTF-8, become '?'.
std::string Utf8ToLatin1(std::string_view utf8);
// Whether every character of `utf8` has a Latin-1 byte: a text a test file can hold as it is.
bool FitsLatin1(std::string_view utf8);
