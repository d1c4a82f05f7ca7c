// The test record: the decoded contents of one ".kel" test file.
#pragma once

#include <cstddef>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "status/status.h"
#include "testfile/kel_values.h"
#include "testfile/test_values.h"

class CKELFile {
public:
    CKELFile() = default;
    ~CKELFile();
    CKELFile(const CKELFile&) = delete;
    CKELFile& operator=(const CKELFile&) = delete;

    // Reads the test file at `path`; with `withSamples` non-zero also its
    // current and resistance curves. Ok when the file holds a whole test;
    // CantOpenFile when it could not be opened or read; NotATest when it
    // opened but holds no whole test (no magic number, cut short). On failure
    // only `path` has changed (it is empty).
    Status Load(const std::string& path, int withSamples);
    // The same from the file's bytes, as far as they go (`path` is left as it is).
    // NotATest says why in its detail (see DecodeTestValues).
    Status Decode(std::span<const unsigned char> bytes, int withSamples);

    // Writes the four header texts back into the file at `path`: Ok when the
    // file holds them. Only when the file still holds the test that was loaded
    // (ChangedSinceOpened otherwise); the new file, in which only the 80 text
    // bytes differ, takes the old one's place whole or not at all, with its
    // permissions. A link is followed: the file it leads to is saved.
    Status WriteHeaderTexts();

    std::string path;
    int testNumber = 0;
    int dateParts[3] = {};
    int timeParts[3] = {};
    char dateText[20] = {};
    char timeText[20] = {};
    char dateTimeText[40] = {};
    int testType = 0;
    char testTypeName[80] = {};
    char operatorName[21] = {};
    char description[21] = {};
    char location[21] = {};
    char company[21] = {};
    char finalResistanceText[80] = {};
    char testVoltageText[80] = {};
    char finalCurrentText[80] = {};
    char capacitanceText[80] = {};
    char durationText[80] = {};
    char humFrequencyText[80] = {};
    char stepIntervalText[80] = {};
    char testTypeCode[3] = {};
    int sampleCount = 0;
    std::unique_ptr<float[]> currents;
    std::unique_ptr<float[]> resistances;
    std::unique_ptr<float[]> voltages;  // each second's test voltage in volts, loaded with the samples
    int stepCount = 0;
    int stepIntervalSeconds = 0;
    char stepResultText[5][80] = {};
    MeasuredValue finalCurrent;
    MeasuredValue finalResistance;
    MeasuredValue equivRes40C;
    char equivRes40CText[80] = {};
    float equivRes20C = 0.0f;
    char equivRes20CText[80] = {};
    int testVoltage = 0;
    char piRatioText[80] = {};
    char ddRatioText[80] = {};
    char resistanceAt1MinText[80] = {};
    char currentAt1MinText[80] = {};
    int hasTemperature = 0;
    char temperatureText[80] = {};
    int hasCapacitance = 0;

    // The test's facts, typed and in SI units, from which the fields above are
    // filled: what readers of numbers (the workbooks, the JSON) use.
    kel::TestValues values;

private:
    // The bytes the last Load read (the header, or the header and samples):
    // what Save compares the file with.
    std::vector<unsigned char> loadedBytes_;
    bool loadedWholeFile_ = false;  // the load read to the file's end: its size must stay

    // Sets the fields and prints the texts from the typed values, in one place.
    void Fill(const kel::TestValues& decoded);
};
