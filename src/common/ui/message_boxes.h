#pragma once
// The program's modal message boxes with German captions and buttons. A "\r" in a text is a
// line break. Every box and button carries an object name so that tests can find and press it:
// the box "quillonMessageBox", its buttons "yesButton", "noButton", "cancelButton", "okButton".
#include <string>

#include "common/ui_sink.h"

class QWidget;

namespace quillon {

// "Fehler", "Warnung" or "Information" with an "OK" button.
void ShowMessageBox(QWidget* parent, MessageKind kind, const std::string& text);

// "Bestätigung" with "&Ja" and "&Nein"; true for "&Ja". Closing the box counts as "&Nein".
bool AskYesNoBox(QWidget* parent, const std::string& text);

enum class YesNoCancel { Yes, No, Cancel };
// "Bestätigung" with "&Ja", "&Nein" and "&Abbrechen". Closing the box counts as "&Abbrechen".
YesNoCancel AskYesNoCancelBox(QWidget* parent, const std::string& text);

// The text as a box shows it: "\r\n" and "\r" become line breaks.
std::string BoxText(const std::string& text);

}  // namespace quillon
