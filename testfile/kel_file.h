// The test record: the decoded contents of one ".kel" test file.
#pragma once

#include <memory>
#include <string>

#include "testfile/kel_values.h"

class CKELFile {
public:
    CKELFile() = default;
    ~CKELFile();
    CKELFile(const CKELFile&) = delete;
    CKELFile& operator=(const CKELFile&) = delete;

    // Reads the test file at `path`; with `withSamples` non-zero also its
    // current and resistance curves. Returns 1 when the file holds a whole
    // test, else 0. On 0 only `path` has changed (it is empty).
    int Load(const std::string& path, int withSamples);

    // What the last Load found: the test, a file it could not open (Load said
    // so), or a file that opened but holds no whole test (no magic number, cut
    // short); Load says nothing of the last, its callers decide.
    enum class LoadResult { Loaded, CantOpen, NotATest };
    LoadResult lastLoad = LoadResult::NotATest;

    // Writes the four header texts back into the file at `path`, in place.
    // Returns 1 when all 80 bytes were written, else 0.
    int WriteHeaderTexts();

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

private:
    void DecodeHeader(const unsigned char* header);
};
