#pragma once

// Rules for typed input shared by the screens.

#include <QString>
#include <initializer_list>

class QLineEdit;
class QWidget;

namespace vantrell::client {

// False, after the refusal box "提交失败,不能包含特殊符号! " (caption: the application
// title, over `parent`), when any typed text holds "[", "]", "|" or "," (checked on the
// GBK bytes, where they may also hide as the second byte of a character).
bool screenTyped(std::initializer_list<QString> texts, QWidget *parent = nullptr);

// Focus to the box with the caret after its last character.
void focusAtEnd(QLineEdit *box);

} // namespace vantrell::client
