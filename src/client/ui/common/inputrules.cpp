#include "client/ui/common/inputrules.h"

#include "client/core/appstate.h"
#include "client/core/messagebox.h"
#include "client/core/text.h"
#include "protocol/fieldtext.h"

#include <QLineEdit>

namespace vantrell::client {

bool screenTyped(std::initializer_list<QString> texts, QWidget *parent)
{
    for (const QString &text : texts) {
        if (!protocol::isClean(toGbkString(text))) {
            messageBoxes().show(parent, QStringLiteral("提交失败,不能包含特殊符号! "), StyleError,
                                appState().appTitle);
            return false;
        }
    }
    return true;
}

void focusAtEnd(QLineEdit *box)
{
    box->setFocus(Qt::OtherFocusReason);
    box->setCursorPosition(int(box->text().size()));
}

} // namespace vantrell::client
