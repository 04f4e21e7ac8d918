#pragma once

// Search boxes: "请输入关键词" shows while the box is empty, and the keyword sent is
// then empty (keywordValue in net/request.h).

#include <QString>

class QLineEdit;

namespace vantrell::client {

inline const QString kKeywordPlaceholder = QStringLiteral("请输入关键词");

void setKeywordPlaceholder(QLineEdit *box);

} // namespace vantrell::client
