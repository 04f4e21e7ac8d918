#pragma once

// Rules for typed input shared by the screens.

#include <QString>
#include <initializer_list>

class QLineEdit;
class QWidget;

namespace vantrell::client {

// False, after the refusal box, when any typed text holds "[", "]", "|" or "," (checked
// on the GBK bytes, where they may also hide as the second byte of a character).
bool screenTyped(std::initializer_list<QString> texts);

// Focus to the box with the caret after its last character.
void focusAtEnd(QLineEdit *box);

} // namespace vantrell::client
