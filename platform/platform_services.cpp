// The replaceable platform services: clock, sleeper, event pump, serial ports.
#include <chrono>
#include <thread>

#include "platform/clock.h"
#include "platform/message_pump.h"
#include "platform/serial_port.h"

namespace platform {
namespace {

std::function<std::uint32_t()>& TickSource()
{
    static std::function<std::uint32_t()> source;
    return source;
}

std::function<void(int)>& Sleeper()
{
    static std::function<void(int)> sleeper;
    return sleeper;
}

std::function<void(int)>& Pump()
{
    static std::function<void(int)> pump;
    return pump;
}

std::function<void(bool)>& WaitCursor()
{
    static std::function<void(bool)> hook;
    return hook;
}

SerialPortFactory& Factory()
{
    static SerialPortFactory factory;
    return factory;
}

}  // namespace

std::uint32_t GetTickCount()
{
    if (TickSource()) return TickSource()();
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<std::uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
}

void SetTickSource(std::function<std::uint32_t()> source)
{
    TickSource() = std::move(source);
}

void SleepMs(int ms)
{
    if (Sleeper()) return Sleeper()(ms);
    if (ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

void SetSleeper(std::function<void(int)> sleeper)
{
    Sleeper() = std::move(sleeper);
}

void PumpEvents(int maxEvents)
{
    if (Pump()) Pump()(maxEvents);
}

void SetEventPump(std::function<void(int)> pump)
{
    Pump() = std::move(pump);
}

void ShowWaitCursor(bool on)
{
    if (WaitCursor()) WaitCursor()(on);
}

void SetWaitCursorHook(std::function<void(bool)> hook)
{
    WaitCursor() = std::move(hook);
}

void SetSerialPortFactory(SerialPortFactory factory)
{
    Factory() = std::move(factory);
}

std::unique_ptr<SerialPort> MakeSerialPort()
{
    return Factory() ? Factory()() : MakeSystemSerialPort();
}

}  // namespace platform

#include "platform/automation.h"

namespace platform {

Variant Variant::Optional()
{
    Variant v;
    v.type = Type::Error;
    v.error = kParamNotFound;
    return v;
}

Variant Variant::Short(std::int16_t value)
{
    Variant v;
    v.type = Type::I2;
    v.i2 = value;
    return v;
}

Variant Variant::Text(std::string text)
{
    Variant v;
    v.type = Type::Bstr;
    v.bstr = std::move(text);
    return v;
}

Variant Variant::Object(std::shared_ptr<DispatchObject> object)
{
    Variant v;
    v.type = Type::Dispatch;
    v.dispatch = std::move(object);
    return v;
}

}  // namespace platform
