// The tester link over a real pseudo-terminal to kel7300-sim: the download of
// the longest possible test at the wire rate, beside its wire time, with the
// processor time the program spends on it; and the directory read of 512 tests.
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

#include "app/kel_context.h"
#include "instrument/download.h"
#include "services/message_box.h"
#include "platform/serial_port.h"
#include "testfile/kel_format.h"
#include "testfile/kel_values.h"

namespace {

namespace fs = std::filesystem;

double CpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// A test file of `samples` seconds with test number `number`.
void WriteTest(const fs::path& path, int number, int samples)
{
    std::vector<unsigned char> bytes(kel::kFileHeaderEnd + static_cast<std::size_t>(samples) * 4, 0);
    bytes[0] = 0x34, bytes[1] = 0x12, bytes[2] = 0x0D, bytes[3] = 0xF0, bytes[4] = 1;
    unsigned char* header = bytes.data() + kel::kPreambleSize;
    const int length = 160 + samples * 4;
    header[0] = static_cast<unsigned char>(length >> 8), header[1] = static_cast<unsigned char>(length);
    header[4] = static_cast<unsigned char>(number >> 8), header[5] = static_cast<unsigned char>(number);
    header[kel::kHeaderTestType] = 3;
    for (int k = 0; k < samples; ++k) EncodeSample(5000, 1e-9, header + kel::kHeaderSize + 4 * k);
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                static_cast<std::streamsize>(bytes.size()));
}

// kel7300-sim serving `folder` on COM5 of a private configuration, and the
// program's context that talks to it.
class Simulator {
public:
    Simulator(const fs::path& folder, bool pace)
    {
        home_ = fs::temp_directory_path() / "kel7300-bench-link";
        fs::create_directories(home_);
        setenv("XDG_CONFIG_HOME", home_.c_str(), 1);
        pid_ = fork();
        if (pid_ == 0) {
            const int null = ::open("/dev/null", 1);
            dup2(null, 1);
            if (pace) execl(KEL_SIM_PATH, KEL_SIM_PATH, "--tests", folder.c_str(), "--link", "COM5", "--pace", nullptr);
            else execl(KEL_SIM_PATH, KEL_SIM_PATH, "--tests", folder.c_str(), "--link", "COM5", nullptr);
            _exit(127);
        }
        const fs::path alias = platform::PortAliasPath(5);
        for (int i = 0; i < 200 && !fs::exists(fs::symlink_status(alias)); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        context.serialChannel.port = 5;
    }
    ~Simulator()
    {
        context.serialChannel.Close();
        kill(pid_, SIGTERM);
        waitpid(pid_, nullptr, 0);
    }

    platform::Services services;
    KelContext context{services};

private:
    fs::path home_;
    pid_t pid_ = -1;
};

void BM_DownloadLongestTestPaced(benchmark::State& state)
{
    const fs::path folder = fs::temp_directory_path() / "kel7300-bench-longest";
    fs::create_directories(folder);
    WriteTest(folder / "Test1.kel", 1, kel::kMaxSamples);  // L = 65,532 (the largest multiple of 4 past 160)
    Simulator simulator(folder, true);
    const fs::path target = fs::temp_directory_path() / "kel7300-bench-download";
    fs::create_directories(target);
    fs::current_path(target);
    const int length = 160 + 4 * kel::kMaxSamples;
    const double wireSeconds = (2 + (length - 2 + 19) / 20 * 20) / 1920.0;
    for (auto _ : state) {
        TestTransfer transfer(simulator.context.serialChannel, target.string());
        transfer.testCount = 1;
        transfer.testNumbers[0] = 1;
        const double cpu = CpuSeconds();
        const auto start = std::chrono::steady_clock::now();
        if (!transfer.AllArrived(transfer.DownloadAll())) state.SkipWithError("the download failed");
        const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        state.SetIterationTime(wall);
        state.counters["wire_s"] = wireSeconds;
        state.counters["wall_s"] = wall;
        state.counters["wall_over_wire_plus_pause"] = wall / (wireSeconds + 0.2);
        state.counters["cpu_percent"] = 100.0 * (CpuSeconds() - cpu) / wall;
    }
}
BENCHMARK(BM_DownloadLongestTestPaced)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

void BM_DirectoryOf512Tests(benchmark::State& state)
{
    const fs::path folder = fs::temp_directory_path() / "kel7300-bench-512";
    fs::create_directories(folder);
    for (int i = 1; i <= 512; ++i) WriteTest(folder / ("T" + std::to_string(i) + ".kel"), i, 60);
    Simulator simulator(folder, false);
    for (auto _ : state) {
        const double cpu = CpuSeconds();
        const auto start = std::chrono::steady_clock::now();
        CKELDevice& device = simulator.context.kelDevice;
        if (!device.ReadDirectory() || device.entryCount != 512) state.SkipWithError("not 512 entries");
        const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        state.SetIterationTime(wall);
        state.counters["cpu_percent"] = 100.0 * (CpuSeconds() - cpu) / wall;
    }
}
BENCHMARK(BM_DirectoryOf512Tests)->Iterations(3)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace
