#include "platform/message_box.h"

#include <cstdarg>
#include <cstdio>

namespace platform {
namespace {

StderrMessagePresenter defaultPresenter;
MessagePresenter* currentPresenter = &defaultPresenter;

}  // namespace

int StderrMessagePresenter::Present(MessageKind, const char* caption, const char* text)
{
    std::fprintf(stderr, "%s: %s\n", caption, text);
    return kIdOk;
}

MessagePresenter* SetMessagePresenter(MessagePresenter* presenter)
{
    MessagePresenter* previous = currentPresenter;
    currentPresenter = presenter ? presenter : &defaultPresenter;
    return previous;
}

MessagePresenter& CurrentMessagePresenter()
{
    return *currentPresenter;
}

}  // namespace platform

namespace {

KEL_PRINTF_FORMAT(3, 0)
int Present(platform::MessageKind kind, const char* caption, const char* format, va_list args)
{
    char text[kMessageBufferSize];
    std::vsnprintf(text, sizeof text, format, args);
    return platform::CurrentMessagePresenter().Present(kind, caption, text);
}

}  // namespace

int ShowMessage(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    const int button = Present(platform::MessageKind::Message, "KEL-7300", format, args);
    va_end(args);
    return button;
}

int ShowWarning(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    const int button = Present(platform::MessageKind::Warning, "Warning", format, args);
    va_end(args);
    return button;
}

int AppMessageBox(const char* text)
{
    return platform::CurrentMessagePresenter().Present(platform::MessageKind::Application, "KEL-7300", text);
}
