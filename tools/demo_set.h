// A set of realistic demo tests: one or more of each test type, with and
// without temperature and capacitance, from under a minute to over fifteen
// minutes. Their curves follow a model of insulation under test voltage: a
// capacitive charging spike, an absorption current that falls with time and a
// steady leakage current, so the resistance rises as the insulation absorbs
// charge. The header results (one-minute reading, PI and DD ratios, step
// results, finals) are taken from the same curves.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

struct DemoTest {
    std::string fileName;              // "Test%d.kel" of the test number
    int testNumber = 0;
    std::vector<unsigned char> stream;  // the tester's stream: header and samples
};

// The demo tests, the same on every call.
std::vector<DemoTest> MakeDemoTests();

// The demo history for the asset trend: earlier yearly tests of two assets of
// the set, named "history/....kel" (a folder beside the set).
std::vector<DemoTest> MakeDemoHistory();

// The test file of a stream: the five-byte preamble, then the stream.
std::vector<unsigned char> TestFileBytes(const std::vector<unsigned char>& stream);

// Writes every demo test and the history into `folder` (made when missing). Without `replace`
// it writes nothing when any of their names exists there already (the names
// are those a download writes). Returns the paths written, or stops at the
// first failure with a message in `error`.
bool WriteDemoTests(const std::string& folder, std::vector<std::string>* written, std::string* error,
                    bool replace = false);
