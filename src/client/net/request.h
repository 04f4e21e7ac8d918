#pragma once

// Building the field text of a request from QString values (GBK on the wire).

#include "protocol/fieldtext.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

class QWidget;

namespace vantrell::client {

class RequestFields
{
public:
    RequestFields &add(const QString &key, const QString &value);
    RequestFields &add(const QString &key, long long value);
    RequestFields &record(const QString &marker); // e.g. "数据详情_"
    QByteArray bytes() const;

private:
    protocol::FieldWriter m_writer;
};

// The keyword of a search box: empty while it shows the placeholder, else trimmed.
QString keywordValue(const QString &boxText);

// The screen over typed values: false, after the error box "提交失败,不能包含特殊符号! "
// (caption: the application title), when any of them holds "[", "]", "|" or "," in GBK.
bool screenTexts(QWidget *parent, const QStringList &texts);

} // namespace vantrell::client
