#pragma once
// Small behaviours of the dialog's input fields.
#include <functional>

class QWidget;

namespace quillon {

// Moves the focus from `w` to the next control in tab order.
void FocusNextControl(QWidget* w);

// Enter pressed in `w` moves the focus to the next control.
void MoveFocusOnEnter(QWidget* w);

// `check` runs after the focus has left `w` for another control (not when a message box or a
// menu took it), once the focus change is complete, and only while `w` is still shown.
void OnLeave(QWidget* w, std::function<void()> check);

}  // namespace quillon
