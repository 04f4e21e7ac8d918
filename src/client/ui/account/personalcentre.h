#pragma once

// The merchant's own contact data: shown from the server, edited and saved there.

#include "client/ui/common/framedwindow.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace vantrell::client {

struct Reply;

class PersonalCentre final : public FramedWindow
{
    Q_OBJECT
public:
    explicit PersonalCentre(QWidget *mainWindow);
    ~PersonalCentre() override;

    // Reply 返回个人中心基本资料.
    void fill(const Reply &reply);
    void save();

private:
    QLabel *m_company = nullptr;
    QLineEdit *m_contact = nullptr;
    QLineEdit *m_phone = nullptr;
    QLineEdit *m_email = nullptr;
    QLineEdit *m_address = nullptr;
    QPushButton *m_save = nullptr;
};

} // namespace vantrell::client
