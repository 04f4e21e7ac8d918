#pragma once

// Search boxes: "请输入关键词" shows while the box is empty, and the keyword sent is
// then empty.

#include <QString>

class QLineEdit;

namespace vantrell::client {

inline const QString kKeywordPlaceholder = QStringLiteral("请输入关键词");

void setKeywordPlaceholder(QLineEdit *box);

// The keyword a search sends for the box's text: empty for the placeholder itself, else
// the text without its surrounding spaces.
QString keywordValue(const QString &boxText);

} // namespace vantrell::client
