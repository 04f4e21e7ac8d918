#include "client/ui/partners/cooperationwindow.h"

#include "client/core/messagebox.h"
#include "client/core/windowregistry.h"
#include "client/net/request.h"
#include "client/ui/common/clickguard.h"
#include "client/ui/common/inputrules.h"
#include "client/ui/common/keywordbox.h"
#include "client/ui/common/listfiller.h"
#include "ui_cooperationwindow.h"

#include <QSignalBlocker>
#include <QTreeWidget>

namespace vantrell::client {

CooperationWindow::CooperationWindow(QWidget *mainWindow)
    : FramedWindow(mainWindow), m_ui(new Ui::CooperationWindow)
{
    m_ui->setupUi(this);
    adoptCloseButton(m_ui->图形按钮_关闭);
    setWindowModality(Qt::ApplicationModal);
    WindowRegistry::set(WindowId::CooperationApplication, this);
    // The window's title is the application's own text; supplier names come from others.
    m_ui->透明标签7->setTextFormat(Qt::PlainText);

    setKeywordPlaceholder(m_ui->编辑框_申请合作_搜索);
    makeReportList(m_ui->超级列表框1);
    setDesignColumns(
        m_ui->超级列表框1,
        {{QStringLiteral("ID"), 0, 0}, {QStringLiteral("账号"), 120}, {QStringLiteral("供应商名称"), 150}});

    connect(m_ui->超级按钮1, &QPushButton::clicked, this, [this] {
        search();
        clickGuard({m_ui->超级按钮1});
    });
    connect(m_ui->编辑框_申请合作_搜索, &QLineEdit::returnPressed, this, [this] {
        search();
        clickGuard({m_ui->编辑框_申请合作_搜索});
    });
    connect(m_ui->超级按钮_保存, &QPushButton::clicked, this, &CooperationWindow::apply);

    centreOnOwner();
    search();
}

CooperationWindow::~CooperationWindow()
{
    if (WindowRegistry::get(WindowId::CooperationApplication) == this)
        WindowRegistry::set(WindowId::CooperationApplication, nullptr);
}

QTreeWidget *CooperationWindow::list() const
{
    return m_ui->超级列表框1;
}

void CooperationWindow::search()
{
    const QString text = m_ui->编辑框_申请合作_搜索->text();
    if (!screenTyped({text}, this))
        return;
    send<protocol::Request::ApplicationList>(keywordValue(text));
}

void CooperationWindow::fill(std::string_view gbkText)
{
    const QSignalBlocker quiet(m_ui->超级列表框1);
    fillList(m_ui->超级列表框1, gbkText);
}

void CooperationWindow::apply()
{
    QTreeWidget *list = m_ui->超级列表框1;
    const QList<QTreeWidgetItem *> selected = list->selectedItems();
    if (selected.isEmpty()) {
        inform(this, QStringLiteral("请选择你要合作的供应商!"), windowTitle());
        return;
    }
    const QTreeWidgetItem *row = selected.first();
    const QString company = cellByTitle(list, QStringLiteral("公司"), row);
    if (!askYesNo(this, QStringLiteral("是否申请与 [") + company + QStringLiteral("] 的合作?"),
                  windowTitle()))
        return;
    send<protocol::Request::Apply>(row->text(0));
}

} // namespace vantrell::client
