#pragma once

// Every message box of the program goes through this interface so that tests can
// answer them. Styles are the classic values: 64 information, 32 question,
// 16 error, 36 question with Yes and No.

#include <QString>
#include <memory>

class QMessageBox;
class QPixmap;
class QWidget;

namespace vantrell::client {

enum MessageStyle : int
{
    StyleInformation = 64,
    StyleQuestion = 32,
    StyleError = 16,
    StyleYesNo = 36
};
enum class MessageAnswer
{
    Ok,
    Yes,
    No
};

class MessageBoxes
{
public:
    virtual ~MessageBoxes() = default;
    // Modal; returns Yes or No for StyleYesNo, Ok otherwise.
    virtual MessageAnswer show(QWidget *parent, const QString &text, int style, const QString &caption) = 0;
};

MessageBoxes &messageBoxes();
// Replaces the implementation (tests install a recording fake); nullptr restores the
// real QMessageBox-based one. Not owned.
void setMessageBoxes(MessageBoxes *boxes);

// Shorthand for the common cases.
void inform(QWidget *parent, const QString &text, const QString &caption);
bool askYesNo(QWidget *parent, const QString &text, const QString &caption);

// The real box of a style, ready to be shown: the program's own pictures (drawn for the
// screen's pixel ratio, so sharp at 200%), the texts as plain text, the skin's spacing.
// Shown modally by the real implementation; the screenshot tour shows it without a loop.
std::unique_ptr<QMessageBox> buildMessageBox(QWidget *parent, const QString &text, int style,
                                             const QString &caption);
// The picture of a style at `side` logical pixels for the pixel ratio `ratio`.
QPixmap messagePicture(int style, int side, qreal ratio);

} // namespace vantrell::client
