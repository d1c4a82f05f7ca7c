// The program's three message boxes, behind a replaceable presenter: a modal
// box in the desktop program, standard error in the command-line tool, a
// recording double in tests.
#pragma once

#if defined(__GNUC__)
#define KEL_PRINTF_FORMAT(format_index, first_arg) __attribute__((format(printf, format_index, first_arg)))
#else
#define KEL_PRINTF_FORMAT(format_index, first_arg)
#endif

namespace platform {

enum class MessageKind {
    Message,      // ShowMessage: caption "KEL-7300", no owner window, OK
    Warning,      // ShowWarning: caption "Warning", OK
    Application,  // the application's box: owner the main window, "KEL-7300", exclamation icon, OK
};

constexpr int kIdOk = 1;  // the button a box returns when closed with OK

class MessagePresenter {
public:
    virtual ~MessagePresenter() = default;
    // Shows `text` under `caption` and returns the button the user pressed.
    virtual int Present(MessageKind kind, const char* caption, const char* text) = 0;
};

// Writes "caption: text" lines to standard error; the default presenter.
class StderrMessagePresenter : public MessagePresenter {
public:
    int Present(MessageKind kind, const char* caption, const char* text) override;
};

// Installs `presenter` (nullptr restores the default) and returns the previous one.
MessagePresenter* SetMessagePresenter(MessagePresenter* presenter);
MessagePresenter& CurrentMessagePresenter();

}  // namespace platform

// Texts are formatted into 1024 bytes: at most 1023 characters are shown.
constexpr int kMessageBufferSize = 1024;

int ShowMessage(const char* format, ...) KEL_PRINTF_FORMAT(1, 2);
int ShowWarning(const char* format, ...) KEL_PRINTF_FORMAT(1, 2);
// The application's own message box, for the dialogs' and the export's messages.
int AppMessageBox(const char* text);
