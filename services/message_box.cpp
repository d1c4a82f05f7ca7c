#include "services/message_box.h"

#include "platform/unicode.h"

#include <cstdarg>
#include <cstdio>

namespace platform {

int MessagePresenter::Ask(const char*, const char*, const std::vector<std::string>&, int safeChoice)
{
    return safeChoice;
}

int StderrMessagePresenter::Present(MessageKind, const char* caption, const char* text)
{
    // A file name or a tester's text in the message cannot drive the terminal.
    std::fprintf(stderr, "%s: %s\n", caption, EscapeControls(text, true).c_str());
    return kIdOk;
}

}  // namespace platform

namespace {

KEL_PRINTF_FORMAT(4, 0)
int Present(platform::MessagePresenter& presenter, platform::MessageKind kind, const char* caption,
            const char* format, va_list args)
{
    char text[kMessageBufferSize];
    std::vsnprintf(text, sizeof text, format, args);
    return presenter.Present(kind, caption, text);
}

}  // namespace

int ShowMessage(platform::MessagePresenter& presenter, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    const int button = Present(presenter, platform::MessageKind::Message, "KEL-7300", format, args);
    va_end(args);
    return button;
}

int ShowWarning(platform::MessagePresenter& presenter, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    const int button = Present(presenter, platform::MessageKind::Warning, "Warning", format, args);
    va_end(args);
    return button;
}

int AppMessageBox(platform::MessagePresenter& presenter, const char* text)
{
    return presenter.Present(platform::MessageKind::Application, "KEL-7300", text);
}
