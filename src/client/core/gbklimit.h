#pragma once

// An input limit counted in GBK bytes (a Chinese character counts 2), which a
// QLineEdit's maxLength cannot express: typing or pasting past it is refused.

#include <QValidator>

class QLineEdit;

namespace vantrell::client {

class GbkLengthValidator final : public QValidator
{
    Q_OBJECT
public:
    GbkLengthValidator(int maxBytes, QObject *parent);
    State validate(QString &input, int &pos) const override;
    int maxBytes() const { return m_maxBytes; }

private:
    int m_maxBytes;
};

// Installs the validator on the edit box (owned by it).
void limitGbkBytes(QLineEdit *edit, int maxBytes);

} // namespace vantrell::client
