// What a core operation did. Core code does not show messages: it returns a
// Status, carrying what the message needs, and the program shows it (a box
// in the desktop program, a line on standard error in the command-line tool).
// MessageFor is the one table from statuses to the program's texts.
#pragma once

#include <string>

#include "services/message_box.h"

enum class Problem {
    None,
    // Statuses that the user is not told of: the operation says nothing.
    Busy,      // an exchange with the tester was under way: refused
    Aborted,   // the user pressed Abort
    NotATest,  // a file that opened but holds no whole test (callers decide)
    LineFailed,  // a read or write on the serial line failed or timed out (callers name it)
    // The serial channel
    PortDidNotOpen,       // subject: the device; number: the error; detail: the system's words
    PortModeRefused,
    PortSettingsRefused,
    // The tester
    CantSend,
    NotResponding,
    DirectoryUnread,
    DirectoryUnparsed,
    DirectoryTooLong,
    CantCommunicate,
    NoTestSize,  // number: the test
    TestNotFound,
    TestUnread,  // number: the test
    NotTheTest,  // number: the test asked for; detail: what the reply was instead
    NameTaken,   // subject: the file; number: the test; detail: what the file holds
    // Files
    CantOpenFile,   // subject: the file
    CantReadFile,   // subject: the file
    CantWriteFile,  // subject: the file
    CantReadFolder,  // subject: the folder
    PrefixTooLong,  // number: the longest file name of the folder, 0 for the path buffer
    ChangedSinceOpened,  // subject: the file's name
    // The archive
    ArchiveUnreachable,  // detail: libpq's words
    ArchiveFailed,       // detail: the server's words
    ArchiveNewer,        // number: the archive's schema version; other: this program's
    // The spreadsheet export
    ServerFailed,       // detail: the server's own words (UTF-8), possibly empty
    ServerUnavailable,
    WorkbookTaken,      // subject: the test; detail: the workbook; other: the test exported there
};

// Why the serial line failed, where it did: told apart for the trace and the command-line tool.
enum class LineCause {
    None,
    TimedOut,     // waitedMs: how long
    Vanished,     // the device went away (a pulled cable)
    ReadError,
    WriteError,
    Closed,       // the channel was closed while the read waited
    LineTooLong,  // a reply line without its end
};

struct Status {
    Problem problem = Problem::None;
    std::string subject;
    std::string detail;
    std::string other;
    long number = 0;
    LineCause cause = LineCause::None;  // with LineFailed, and kept by Naming
    int waitedMs = 0;

    static Status Line(LineCause cause, int waitedMs = 0)
    {
        Status status = Of(Problem::LineFailed);
        status.cause = cause;
        status.waitedMs = waitedMs;
        return status;
    }

    bool Ok() const { return problem == Problem::None; }
    explicit operator bool() const { return Ok(); }

    static Status Of(Problem problem) { return {problem, {}, {}, {}, 0, LineCause::None, 0}; }
    static Status File(Problem problem, std::string file) { return {problem, std::move(file), {}, {}, 0, LineCause::None, 0}; }
    static Status Test(Problem problem, long testNumber) { return {problem, {}, {}, {}, testNumber, LineCause::None, 0}; }
};

// How the program says what happened: which box, and its text.
struct Message {
    bool shown = false;  // false: the status is not told (None, Busy, Aborted, NotATest)
    platform::MessageKind kind = platform::MessageKind::Message;
    std::string text;
};

Message MessageFor(const Status& status);
// `status`, or `named` in place of a failed line: an operation names what the
// line was doing (keeping why the line failed), while a port that did not open
// keeps its own message.
Status Naming(const Status& status, Status named);
// Why the line failed, in words: "no reply within 2000 ms", "the serial device went away"; empty for None.
std::string CauseText(const Status& status);
// Shows the status's message, if it has one; returns whether it did.
bool Report(platform::MessagePresenter& presenter, const Status& status);
