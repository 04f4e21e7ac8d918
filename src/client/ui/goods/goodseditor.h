#pragma once

// The goods editing window: adds a goods item, edits one of the supplier's own, or shows
// one read-only to a purchaser. What it shows comes from the server; it closes on the
// server's success reply.

#include "client/ui/common/framedwindow.h"

#include <QStringList>
#include <memory>
#include <string_view>

class QComboBox;
class QLineEdit;

namespace Ui {
class GoodsEditor;
}

namespace vantrell::client {

struct Reply;

class GoodsEditor final : public FramedWindow
{
    Q_OBJECT
public:
    enum class Mode
    {
        Add,
        Edit,
        View
    };

    // `goodsId` 0 adds; otherwise the goods item shown (edited or viewed).
    GoodsEditor(QWidget *mainWindow, Mode mode, int goodsId);
    ~GoodsEditor() override;

    Mode mode() const { return m_mode; }
    int goodsId() const { return m_goodsId; }

    // Reply 返回商品基本信息/分类列表: the supplier's categories, nothing chosen yet.
    void fillCategories(std::string_view gbkList);
    // Reply 返回商品基本信息.
    void fill(const Reply &reply);
    void submit();
    // Adding or editing, and a box differs from what the window opened with (or what the
    // server gave for the goods being edited).
    bool hasUnsavedInput() const override;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void step(QLineEdit *box, long long units);
    bool refuse(const QString &text, QLineEdit *box);
    QStringList typed() const;

    std::unique_ptr<Ui::GoodsEditor> m_ui;
    Mode m_mode;
    int m_goodsId;
    QStringList m_shown; // the boxes as the window opened or the goods arrived
};

// Fills a drop-down list from a category list text ("ID,name|..."): item text the name,
// item data the ID. A text without "|" leaves the list as it is, not even cleared.
void fillCategoryList(QComboBox *box, const QString &list, bool clearFirst);

// Opens the editing window over the main window (the current goods ID is `goodsId`).
void openGoodsEditor(QWidget *mainWindow, GoodsEditor::Mode mode, int goodsId);

} // namespace vantrell::client
