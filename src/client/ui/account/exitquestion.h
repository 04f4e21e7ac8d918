#pragma once

class QWidget;

namespace vantrell::client {

// "是否退出<title> ?" with Yes and No; Yes ends the program. True when the answer was Yes.
bool askExit(QWidget *parent);

} // namespace vantrell::client
