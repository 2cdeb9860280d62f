// Driving the program's real windows from a test: a second thread waits for
// a window, clicks, types and moves the mouse by messages, and reads texts
// back, while the test's own thread runs the modal loop under test.
#pragma once
#include <windows.h>

#include <functional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

// The first visible top-level window of this process with that exact title,
// waited for up to `milliseconds`; null when none came.
HWND WaitForWindow(const std::string& title, int milliseconds = 5000);
// A child control of a window by its exact text (buttons, labels, boxes).
HWND FindControl(HWND parent, const std::string& text);
// Every child control of a window of a class ("Button", "Edit", "ListBox", "Static").
std::vector<HWND> ControlsOfClass(HWND parent, const std::string& cls);
std::string TextOf(HWND window);

// Clicks a button as the user would (press and release, processed by the
// window's own thread).
void Click(HWND button);
// Moves the mouse over a control: the message the hint filter sees.
void MouseOver(HWND control);
// Answers the message box of that title (as the keyboard would) and gives
// its text; "" when none came.
std::string AnswerMessageBox(const std::string& title, int button, int milliseconds = 5000);
// Answers every message box of these titles, with its button, that the
// window's thread opens until it is idle again; gives their texts in order.
std::vector<std::string> AnswerMessageBoxesUntilIdle(HWND window,
                                                     const std::vector<std::pair<std::string, int>>& answers);
// The text of a message box's message (the static control that is not the icon).
std::string MessageBoxText(HWND box);

// The state of a check box or radio button.
bool IsChecked(HWND box);
// The centre of a control in its dialog's client coordinates.
POINT CentreOf(HWND dialog, HWND control);
// Moves the real pointer to a point of the dialog's client area and gives
// the status bar's text once it shows `expected` (or whatever it shows
// after two seconds when the hint never comes).
std::string HintAt(HWND dialog, HWND bar, POINT client, const std::string& expected);

// Runs `script` on a second thread while `modal` runs on this one; joins.
void WhileModal(const std::function<void()>& modal, const std::function<void()>& script);
// Waits for a window to close; one that a failed script left open is closed,
// with any box it still shows, so that the test ends.
void EndWindow(HWND window);
// Runs `showModal` (a form's ShowModal) while `script` drives the window of
// that title, once the window has taken its first activation; answers the
// modal result. The window is closed if the script left it open.
int DriveModal(const std::function<int()>& showModal, const std::string& title,
               const std::function<void(HWND)>& script);

// Chooses the item of that text in a list box or a drop-down list as the
// user would: the selection, then the notification its window gets. False
// when the list has no such item.
bool ChooseItem(HWND list, const std::string& item);
// Double-clicks the selected item of a list box (its notification).
void DoubleClickItem(HWND list);
// Types a text into an edit box, one character at a time.
void TypeText(HWND edit, const std::string& text);
// Waits up to `milliseconds` until `condition` holds; answers whether it did.
bool WaitUntil(const std::function<bool()>& condition, int milliseconds);
