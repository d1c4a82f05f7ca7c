// Any bytes as a test file: both depths of Load must succeed or fail cleanly,
// never read past the file, and leave a failed record as it was.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "platform/message_box.h"
#include "testfile/kel_file.h"

namespace {

class SilentPresenter : public platform::MessagePresenter {
public:
    int Present(platform::MessageKind, const char*, const char*) override { return platform::kIdOk; }
};

const std::string& FuzzPath()
{
    static const std::string path =
        (std::filesystem::temp_directory_path() / ("kel7300-fuzz-" + std::to_string(getpid()) + ".kel")).string();
    return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static SilentPresenter presenter;
    platform::SetMessagePresenter(&presenter);

    FILE* file = std::fopen(FuzzPath().c_str(), "wb");
    if (!file) return 0;
    std::fwrite(data, 1, size, file);
    std::fclose(file);

    CKELFile record;
    const int header = record.Load(FuzzPath(), 0);
    const int full = record.Load(FuzzPath(), 1);
    if (full) {
        // A full load holds exactly the samples the file carries.
        if (record.sampleCount < 0 || 165 + static_cast<std::size_t>(record.sampleCount) * 4 > size) std::abort();
        volatile float sum = 0;
        for (int k = 0; k < record.sampleCount; ++k) sum = sum + record.currents[k] + record.resistances[k];
        if (!header) std::abort();  // what loads fully also loads header-only
    } else if (!record.path.empty()) {
        std::abort();
    }
    for (const char* text : {record.dateTimeText, record.finalResistanceText, record.stepResultText[4],
                             record.equivRes20CText, record.operatorName, record.company})
        if (std::memchr(text, 0, 80) == nullptr) std::abort();
    return 0;
}
