// The 32-bit millisecond tick count that every time-out counts with. It wraps
// after 49.7 days, as the tester's program always expected.
#pragma once

#include <cstdint>
#include <functional>

namespace platform {

std::uint32_t GetTickCount();
// Replaces the clock (tests set the time, and let it wrap); empty restores the steady clock.
void SetTickSource(std::function<std::uint32_t()> source);
// Lets `ms` milliseconds pass: sleeps on the real clock, moves a test clock.
void SleepMs(int ms);
void SetSleeper(std::function<void(int)> sleeper);

}  // namespace platform
