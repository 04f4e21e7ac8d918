#include "client/ui/common/keywordbox.h"

#include "client/core/text.h"

#include <QEvent>
#include <QLineEdit>

namespace vantrell::client {

namespace {

// A box that holds only spaces goes back to showing the placeholder when left, and a
// box that was given the placeholder as text is emptied when entered.
class KeywordFocus : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        auto *box = static_cast<QLineEdit *>(watched);
        if (event->type() == QEvent::FocusIn && box->text() == kKeywordPlaceholder)
            box->clear();
        else if (event->type() == QEvent::FocusOut && trimSpaces(box->text()).isEmpty())
            box->clear();
        return false;
    }
};

} // namespace

QString keywordValue(const QString &boxText)
{
    return boxText == kKeywordPlaceholder ? QString() : trimSpaces(boxText);
}

void setKeywordPlaceholder(QLineEdit *box)
{
    box->setPlaceholderText(kKeywordPlaceholder);
    box->installEventFilter(new KeywordFocus(box));
}

} // namespace vantrell::client
