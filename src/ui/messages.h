// Message boxes, help and the modal showing of one window in place of another.
#pragma once
#include <windows.h>

#include <string>

class TForm;

enum class MessageKind { Warning, Error, Information, Confirmation };
enum class MessageButtons { Ok, OkCancel, YesNo };

// A French message box with the normal arrow cursor; the cursor of the work
// in progress (the hourglass) comes back afterwards. Answers IDOK, IDCANCEL,
// IDYES or IDNO.
int ShowMessageBox(const std::string& text, MessageKind kind, MessageButtons buttons,
                   int helpContext = 0);
// True while a message box is open or has just closed: the window it comes
// back to is activated again, which is no new activation by the user.
bool ReturningFromMessageBox();
// The error box of an input/output error code.
void ShowDiskError(int code);

// Hides the caller, shows the dialog modally, shows the caller again and
// brings it to the front. Without a caller just shows the dialog.
int ShowDialogInstead(TForm* caller, TForm& dialog);

// The help file PIVALUNE.HLP of the program directory at a context.
std::string HelpFileName();
void ShowHelp(HWND window, int context);

// The hints of the OK, Cancel and Help buttons, shared by every dialog.
constexpr const char* HintOk = " enregistre les nouveaux paramètres";
constexpr const char* HintCancel = " rétablit les anciens paramètres";
constexpr const char* HintHelp = " appelle le fichier d'aide";
