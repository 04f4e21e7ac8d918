#include "client/core/messagebox.h"

#include <QAbstractButton>
#include <QMessageBox>

namespace vantrell::client {

namespace {

class QtMessageBoxes final : public MessageBoxes
{
public:
    MessageAnswer show(QWidget *parent, const QString &text, int style, const QString &caption) override
    {
        QMessageBox box(parent);
        box.setWindowTitle(caption);
        // Notices and order numbers come from the server and other merchants: never markup.
        box.setTextFormat(Qt::PlainText);
        box.setText(text);
        switch (style) {
        case StyleError:
            box.setIcon(QMessageBox::Critical);
            break;
        case StyleQuestion:
        case StyleYesNo:
            box.setIcon(QMessageBox::Question);
            break;
        default:
            box.setIcon(QMessageBox::Information);
            break;
        }
        if (style == StyleYesNo) {
            box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
            box.button(QMessageBox::Yes)->setText(QStringLiteral("是(&Y)"));
            box.button(QMessageBox::No)->setText(QStringLiteral("否(&N)"));
            box.setDefaultButton(QMessageBox::Yes);
            return box.exec() == QMessageBox::Yes ? MessageAnswer::Yes : MessageAnswer::No;
        }
        box.setStandardButtons(QMessageBox::Ok);
        box.button(QMessageBox::Ok)->setText(QStringLiteral("确定"));
        box.exec();
        return MessageAnswer::Ok;
    }
};

QtMessageBoxes &realBoxes()
{
    static QtMessageBoxes boxes;
    return boxes;
}

MessageBoxes *g_current = nullptr;

} // namespace

MessageBoxes &messageBoxes()
{
    return g_current ? *g_current : realBoxes();
}

void setMessageBoxes(MessageBoxes *boxes)
{
    g_current = boxes;
}

void inform(QWidget *parent, const QString &text, const QString &caption)
{
    messageBoxes().show(parent, text, StyleInformation, caption);
}

bool askYesNo(QWidget *parent, const QString &text, const QString &caption)
{
    return messageBoxes().show(parent, text, StyleYesNo, caption) == MessageAnswer::Yes;
}

} // namespace vantrell::client
