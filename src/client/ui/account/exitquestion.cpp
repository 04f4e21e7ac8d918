#include "client/ui/account/exitquestion.h"

#include "client/core/appstate.h"
#include "client/core/messagebox.h"
#include "client/core/program.h"

#include <QString>

namespace vantrell::client {

bool askExit(QWidget *parent)
{
    const QString title = appState().appTitle;
    if (!askYesNo(parent, QStringLiteral("是否退出") + title + QStringLiteral(" ?"), title))
        return false;
    endProgram(0);
    return true;
}

} // namespace vantrell::client
