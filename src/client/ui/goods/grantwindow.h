#pragma once

// Goods authorisation: per distributor, all goods or only the ticked ones. Every change
// is stored on the server at once; the window has no save button.

#include "client/ui/common/framedwindow.h"

#include <memory>
#include <string_view>

class QTreeWidgetItem;

namespace Ui {
class GrantWindow;
}

namespace vantrell::client {

class PagedList;
struct Reply;

class GrantWindow final : public FramedWindow
{
    Q_OBJECT
public:
    explicit GrantWindow(QWidget *mainWindow);
    ~GrantWindow() override;

    // The distributor whose goods are shown or asked for; -1 when none is selected.
    int distributor() const { return m_distributor; }

    void queryDistributors();
    void queryGoods(const QString &page);

    // Reply 返回分销商列表/授权商品.
    void fillDistributors(std::string_view gbkText);
    // Reply 返回商品列表/授权商品; dropped when it is for another distributor.
    void fillGoods(const Reply &reply);
    // Reply 变更商品授权方式成功: the ticks are read again for that distributor only.
    void modeChanged(const Reply &reply);

private:
    void resetGoods();
    void distributorChanged();
    void modeChosen(int mode);
    void tickChanged(QTreeWidgetItem *item, int column);

    std::unique_ptr<Ui::GrantWindow> m_ui;
    PagedList *m_pager = nullptr;
    int m_distributor = -1;
    bool m_goodsShown = false; // the list holds the goods of m_distributor
};

void openGrantWindowOver(QWidget *mainWindow);

} // namespace vantrell::client
