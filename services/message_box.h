// The program's three message boxes, behind a presenter: a modal box in the
// desktop program, standard error in the command-line tool, a recording double
// in tests. The presenter in force is one of the platform services.
#pragma once

#include <string>
#include <vector>

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
    // Asks the user `question` with one button per choice (their texts, in
    // order) and returns the index of the chosen one. `safeChoice` is the
    // default button and the answer when the box is closed or nobody can be
    // asked: the choice that changes nothing. The base asks nobody.
    virtual int Ask(const char* caption, const char* question, const std::vector<std::string>& choices,
                    int safeChoice);
};

// Writes "caption: text" lines to standard error; the default presenter.
class StderrMessagePresenter : public MessagePresenter {
public:
    int Present(MessageKind kind, const char* caption, const char* text) override;
};

}  // namespace platform

// Texts are formatted into 1024 bytes: at most 1023 characters are shown.
constexpr int kMessageBufferSize = 1024;

int ShowMessage(platform::MessagePresenter& presenter, const char* format, ...) KEL_PRINTF_FORMAT(2, 3);
int ShowWarning(platform::MessagePresenter& presenter, const char* format, ...) KEL_PRINTF_FORMAT(2, 3);
// The application's own message box, for the dialogs' and the export's messages.
int AppMessageBox(platform::MessagePresenter& presenter, const char* text);
