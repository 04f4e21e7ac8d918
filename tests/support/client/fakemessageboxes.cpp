#include "fakemessageboxes.h"

namespace vantrell::test {

FakeMessageBoxes::FakeMessageBoxes()
{
    client::setMessageBoxes(this);
}

FakeMessageBoxes::~FakeMessageBoxes()
{
    client::setMessageBoxes(nullptr);
}

client::MessageAnswer FakeMessageBoxes::show(QWidget *, const QString &text, int style,
                                             const QString &caption)
{
    m_shown.append({text, style, caption});
    if (style != client::StyleYesNo)
        return client::MessageAnswer::Ok;
    return m_answers.isEmpty() ? client::MessageAnswer::Yes : m_answers.takeFirst();
}

} // namespace vantrell::test
