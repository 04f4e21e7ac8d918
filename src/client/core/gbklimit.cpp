#include "client/core/gbklimit.h"

#include "client/core/text.h"

#include <QLineEdit>

namespace vantrell::client {

GbkLengthValidator::GbkLengthValidator(int maxBytes, QObject *parent)
    : QValidator(parent), m_maxBytes(maxBytes)
{}

QValidator::State GbkLengthValidator::validate(QString &input, int &) const
{
    return gbkLength(input) <= m_maxBytes ? Acceptable : Invalid;
}

void limitGbkBytes(QLineEdit *edit, int maxBytes)
{
    edit->setValidator(new GbkLengthValidator(maxBytes, edit));
}

} // namespace vantrell::client
