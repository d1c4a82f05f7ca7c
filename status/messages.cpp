// The one table of the program's messages: each status, its box and its text.
#include <cstdarg>
#include <cstdio>
#include <string>

#include "platform/names.h"
#include "status/status.h"

namespace {

Message Box(platform::MessageKind kind, const char* format, ...) KEL_PRINTF_FORMAT(2, 3);

Message Box(platform::MessageKind kind, const char* format, ...)
{
    char text[kMessageBufferSize];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    return {true, kind, text};
}

}  // namespace

Message MessageFor(const Status& s)
{
    using platform::MessageKind;
    constexpr MessageKind kMessage = MessageKind::Message;
    constexpr MessageKind kWarning = MessageKind::Warning;
    constexpr MessageKind kApplication = MessageKind::Application;
    const char* subject = s.subject.c_str();
    const int number = static_cast<int>(s.number);
    switch (s.problem) {
    case Problem::None:
    case Problem::Busy:
    case Problem::Aborted:
    case Problem::NotATest:
    case Problem::LineFailed:
        return {};
    case Problem::PortDidNotOpen:
        return Box(kWarning, "Can't open com port for device %s error=%d\n%s", subject, number, s.detail.c_str());
    case Problem::PortModeRefused:
        return Box(kWarning, "Can't initialize com port");
    case Problem::PortSettingsRefused:
        return Box(kWarning, "Can't initialize com settings");
    case Problem::CantSend:
        return Box(kMessage, "Can't send data to KEL-7300");
    case Problem::NotResponding:
        return Box(kMessage, "KEL-7300 not responding");
    case Problem::DirectoryUnread:
        return Box(kMessage, "Error reading directory");
    case Problem::DirectoryUnparsed:
        return Box(kMessage, "Can't parse directory");
    case Problem::DirectoryTooLong:
        return Box(kMessage, "Directory reply too long");
    case Problem::CantCommunicate:
        return Box(kMessage, "Can't communicate with KEL-7300");
    case Problem::NoTestSize:
        return Box(kMessage, "KEL-7300 not responding (waiting for test size) on test %d", number);
    case Problem::TestNotFound:
        return Box(kMessage, "Test not found or invalid entry");
    case Problem::TestUnread:
        return Box(kMessage, "Error reading test %d from KEL-7300", number);
    case Problem::NotTheTest:
        return Box(kMessage, "Test %d was not saved: %s", number, s.detail.c_str());
    case Problem::NameTaken:
        return Box(kMessage, "Test %d was not saved: %s holds %s", number, subject, s.detail.c_str());
    case Problem::CantOpenFile:
        return Box(kMessage, "Can't open file %s", subject);
    case Problem::CantReadFile:
        return Box(kMessage, "Can't read file %s", subject);
    case Problem::CantReadFolder:
        return Box(kMessage, "Can't read folder %s", subject);
    case Problem::CantWriteFile:
        return Box(kMessage, "Can't write file %s", subject);
    case Problem::PrefixTooLong:
        if (s.number == 0) return Box(kMessage, "The file prefix is too long");
        return Box(kMessage, "The file prefix is too long: a file name holds at most %ld characters", s.number);
    case Problem::ArchiveUnreachable:
        return Box(kMessage, "Can't connect to the archive: %s", s.detail.c_str());
    case Problem::ArchiveFailed:
        return Box(kMessage, "The archive refused: %s", s.detail.c_str());
    case Problem::ArchiveNewer:
        return Box(kMessage,
                   "The archive's schema is version %ld, newer than this program's (%s): it reads the archive "
                   "but does not write to it",
                   s.number, s.other.c_str());
    case Problem::ChangedSinceOpened:
        return Box(kMessage, "%s has changed since it was opened", subject);
    case Problem::ServerFailed:
        // The server's text is UTF-8; messages are in the system's encoding of names.
        if (s.detail.empty()) return Box(kApplication, "Command failed.");
        return Box(kApplication, "%s", s.detail.c_str());
    case Problem::ServerUnavailable:
        return Box(kApplication, "Unable to initialize Excel.");
    case Problem::WorkbookTaken:
        return Box(kApplication, "%s is not exported: %s holds the export of %s already", subject, s.detail.c_str(),
                   s.other.c_str());
    }
    return {};
}

Status Naming(const Status& status, Status named)
{
    if (status.problem != Problem::LineFailed) return status;
    named.cause = status.cause;
    named.waitedMs = status.waitedMs;
    return named;
}

std::string CauseText(const Status& status)
{
    switch (status.cause) {
    case LineCause::None: return {};
    case LineCause::TimedOut: return "no reply within " + std::to_string(status.waitedMs) + " ms";
    case LineCause::Vanished: return "the serial device went away";
    case LineCause::ReadError: return "the serial port reported a read error";
    case LineCause::WriteError: return "the serial port reported a write error";
    case LineCause::Closed: return "the serial port was closed during the read";
    case LineCause::LineTooLong: return "a reply line was too long";
    }
    return {};
}

bool Report(platform::MessagePresenter& presenter, const Status& status)
{
    const Message message = MessageFor(status);
    if (!message.shown) return false;
    const char* caption = message.kind == platform::MessageKind::Warning ? "Warning" : "KEL-7300";
    presenter.Present(message.kind, caption, message.text.c_str());
    return true;
}
