#pragma once

// Records every message box and answers Yes/No questions from a script (default Yes).

#include "client/core/messagebox.h"

#include <QList>
#include <QString>

namespace vantrell::test {

struct ShownBox
{
    QString text;
    int style = 0;
    QString caption;
};

class FakeMessageBoxes : public client::MessageBoxes
{
public:
    FakeMessageBoxes();           // installs itself
    ~FakeMessageBoxes() override; // restores the real boxes

    client::MessageAnswer show(QWidget *parent, const QString &text, int style,
                               const QString &caption) override;

    void answerNext(client::MessageAnswer answer) { m_answers.append(answer); }
    const QList<ShownBox> &shown() const { return m_shown; }
    ShownBox last() const { return m_shown.isEmpty() ? ShownBox{} : m_shown.last(); }
    void clear() { m_shown.clear(); }

private:
    QList<ShownBox> m_shown;
    QList<client::MessageAnswer> m_answers;
};

} // namespace vantrell::test
