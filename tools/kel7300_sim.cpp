// kel7300-sim: a KEL-7300 tester on a pseudo-terminal, for demos, development
// and tests. It prints the device path; with --link COMn the program's port
// COMn leads to it until the simulator ends.
#include <CLI/CLI.hpp>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <system_error>
#include <vector>

#include "platform/serial_port.h"
#include "tools/sim/tester_sim.h"

namespace {

// The exit status when --link finds the port taken: the start command then runs
// the program without the simulator.
constexpr int kExitPortTaken = 3;

volatile sig_atomic_t stopping = 0;

void Stop(int)
{
    stopping = 1;
}

// Where the link at `alias` leads, or empty when it is no link.
std::string LinkTarget(const std::filesystem::path& alias)
{
    std::error_code error;
    const std::filesystem::path target = std::filesystem::read_symlink(alias, error);
    return error ? std::string() : target.string();
}

// Makes `alias` lead to `device`. It never replaces what it did not make: a
// user's alias (to /dev/ttyUSB0, say, plugged in or not), a file, or another
// simulator's live link. A link to a pseudo-terminal that is gone is what a
// simulator that was killed left behind, and only that is replaced.
bool LinkAlias(const std::filesystem::path& alias, const std::string& device, const std::string& port)
{
    std::error_code error;
    std::filesystem::create_directories(alias.parent_path(), error);
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (symlink(device.c_str(), alias.c_str()) == 0) return true;
        if (errno != EEXIST) {
            std::cerr << "kel7300-sim: can't link " << alias.string() << ": " << std::strerror(errno) << "\n";
            return false;
        }
        const std::string target = LinkTarget(alias);
        struct stat status {};
        const bool stale = target.rfind("/dev/pts/", 0) == 0 && stat(target.c_str(), &status) != 0 && errno == ENOENT;
        if (!stale) {
            std::cerr << "kel7300-sim: " << port << " is taken: " << alias.string()
                      << (target.empty() ? std::string(" exists and is no link")
                                         : " leads to " + target)
                      << ". The simulator leaves it as it is; choose another port with --link COMn.\n";
            return false;
        }
        unlink(alias.c_str());  // a dead simulator's link; if another process was quicker, the next try says so
    }
    std::cerr << "kel7300-sim: can't link " << alias.string() << "\n";
    return false;
}

std::uint32_t NowMs()
{
    using namespace std::chrono;
    return static_cast<std::uint32_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

}  // namespace

int main(int argc, char** argv)
{
    CLI::App app{"kel7300-sim: a simulated KEL-7300 tester on a pseudo-terminal."};
    std::string link, testsFolder;
    bool demo = false, pace = false;
    app.add_option("--link", link, "make the program's COMn lead here (e.g. COM1) until the simulator ends; "
                                   "refused (exit status 3) when COMn leads somewhere else already");
    auto* tests = app.add_option("--tests", testsFolder, "serve the .kel test files of this folder");
    app.add_flag("--demo", demo, "serve the demo tests (the default)")->excludes(tests);
    app.add_flag("--pace", pace, "send at the wire rate: 19200 baud, 1920 bytes per second");
    std::vector<std::string> faults;
    app.add_option("--fault", faults, "behave as a faulty tester: silent (answers nothing), short-last-block "
                                      "(a transfer's last block carries only its meaningful bytes)")
        ->check(CLI::IsMember({"silent", "short-last-block"}));
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        return app.exit(error) == 0 ? 0 : 1;
    }

    TesterSimulator simulator(testsFolder.empty() ? TesterSimulator::DemoTests()
                                                  : TesterSimulator::TestsOfFolder(testsFolder));
    for (const std::string& fault : faults) {
        if (fault == "silent") simulator.faults.silent = true;
        if (fault == "short-last-block") simulator.faults.shortLastBlock = true;
    }
    const int master = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) {
        std::perror("kel7300-sim: pseudo-terminal");
        return 1;
    }
    const std::string device = ptsname(master);
    // Holding the other end open keeps the line up between the program's openings.
    const int keeper = open(device.c_str(), O_RDWR | O_NOCTTY);
    termios raw{};
    tcgetattr(keeper, &raw);
    cfmakeraw(&raw);
    tcsetattr(keeper, TCSANOW, &raw);

    std::filesystem::path alias;
    if (!link.empty()) {
        int port = 0;
        if (std::sscanf(link.c_str(), "COM%d", &port) != 1 || port < 1 || port > 100) {
            std::cerr << "kel7300-sim: --link wants COM1 to COM100\n";
            return 1;
        }
        alias = platform::PortAliasPath(port);
        if (!LinkAlias(alias, device, link)) return kExitPortTaken;
    }
    struct sigaction action {};
    action.sa_handler = Stop;  // no SA_RESTART: a wait ends at once
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) sigaction(signal, &action, nullptr);
    std::cout << device << (alias.empty() ? "" : " (" + link + ": " + alias.string() + ")") << std::endl;

    const std::uint32_t start = NowMs();
    unsigned long long sent = 0;
    std::vector<unsigned char> pending;  // taken from the tester, not yet accepted by the line
    while (!stopping) {
        pollfd wait{master, POLLIN, 0};
        if (poll(&wait, 1, 2) > 0 && (wait.revents & POLLIN)) {
            unsigned char in[256];
            const ssize_t got = read(master, in, sizeof in);
            if (got > 0) simulator.Receive(in, static_cast<std::size_t>(got));
        }
        const std::uint32_t now = NowMs();
        std::size_t allowed = 4096;
        if (pace) {
            // 1920 bytes per second since the start, less what went out already.
            const unsigned long long due = static_cast<unsigned long long>(now - start) * 1920 / 1000;
            allowed = due > sent ? static_cast<std::size_t>(std::min<unsigned long long>(due - sent, 4096)) : 0;
        }
        if (pending.empty()) {
            pending.resize(allowed);
            pending.resize(simulator.Take(pending.data(), allowed, now));
        }
        if (!pending.empty()) {
            const ssize_t put = write(master, pending.data(), pending.size());
            if (put > 0) {
                sent += static_cast<unsigned long long>(put);
                pending.erase(pending.begin(), pending.begin() + put);
            }
        } else if (pace && simulator.Available(now) == 0) {
            sent = (now - start) * 1920ull / 1000;  // an idle line saves up no bytes
        }
    }
    // Only the link this simulator made goes; one that was replaced meanwhile stays.
    if (!alias.empty() && LinkTarget(alias) == device) unlink(alias.c_str());
    close(keeper);
    close(master);
    return 0;
}
