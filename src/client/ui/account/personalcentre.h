#pragma once

// The merchant's own contact data: shown from the server, edited and saved there (保存,
// or Enter in one of the boxes once the data is there).

#include "client/ui/common/framedwindow.h"

#include <QStringList>
#include <memory>

namespace Ui {
class PersonalCentre;
}

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
    // A box differs from what the server gave.
    bool hasUnsavedInput() const override;

private:
    QStringList typed() const;

    std::unique_ptr<Ui::PersonalCentre> m_ui;
    QStringList m_loaded;
};

} // namespace vantrell::client
