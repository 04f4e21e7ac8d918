#pragma once

// Picks the goods of the chosen supplier for the order placing window: a tick adds an
// order line, unticking removes it.

#include "client/ui/common/framedwindow.h"

#include <memory>
#include <string_view>

class QTreeWidgetItem;

namespace Ui {
class GoodsChooserWindow;
}

namespace vantrell::client {

class OrderPlacingWindow;

class GoodsChooserWindow final : public FramedWindow
{
    Q_OBJECT
public:
    explicit GoodsChooserWindow(OrderPlacingWindow *placing);
    ~GoodsChooserWindow() override;

    // Reply 返回商品分类/商品下单: "ID,name|" entries after "所有分类".
    void addCategories(const QString &categoryList);
    // Reply 返回采购商查询商品列表/下单; rows already ordered come ticked.
    void fillGoods(std::string_view gbkText);
    // The column whose check box is the tick (the first visible one).
    int tickColumn() const;

    void search();

private:
    void query(int category);
    void rowChanged(QTreeWidgetItem *row, int column);

    std::unique_ptr<Ui::GoodsChooserWindow> m_ui;
    OrderPlacingWindow *m_placing;
};

} // namespace vantrell::client
