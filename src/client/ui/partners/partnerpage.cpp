#include "client/ui/partners/partnerpage.h"

#include "client/core/appstate.h"
#include "client/core/messagebox.h"
#include "client/core/text.h"
#include "client/net/request.h"
#include "client/ui/account/personalcentre.h"
#include "client/ui/common/clickguard.h"
#include "client/ui/common/inputrules.h"
#include "client/ui/common/keywordbox.h"
#include "client/ui/common/listfiller.h"
#include "client/ui/common/pagecontrols.h"
#include "client/ui/common/pagedlist.h"
#include "client/ui/common/stateicons.h"
#include "client/ui/partners/cooperationwindow.h"
#include "client/ui/partners/partnerhooks.h"

#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTabWidget>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace vantrell::client {

PartnerPage::PartnerPage(QWidget *parent) : QWidget(parent)
{
    auto *layout = makePageLayout(this);
    const TabbedSearch top =
        makeTabbedSearch(this, layout, QStringLiteral("高级选择夹_商家管理"),
                         {QStringLiteral("所有商家"), QStringLiteral("合作商家")},
                         QStringLiteral("编辑框_商家管理_搜索"), QStringLiteral("超级按钮_商家管理_搜索"));
    m_tabs = top.tabs;
    m_keyword = top.box;
    m_search = top.button;

    auto *actions = new QHBoxLayout;
    actions->setSpacing(8);
    m_first = makeButton(this, QStringLiteral("超级按钮_商家管理_1"), QStringLiteral("合作"), true);
    actions->addWidget(m_first);
    QPushButton *cancel = makeButton(this, QStringLiteral("超级按钮_商家管理_2"), QStringLiteral("取消合作"));
    actions->addWidget(cancel);
    m_authorise = makeButton(this, QStringLiteral("超级按钮_商家管理_商品授权"), QStringLiteral("商品授权"));
    actions->addWidget(m_authorise);
    actions->addStretch(1);
    layout->addLayout(actions);

    m_list = new QTreeWidget(this);
    m_list->setObjectName(QStringLiteral("超级列表框_商家"));
    makeReportList(m_list);
    layout->addWidget(m_list, 1);

    const PagerControls pager = makePager(this, QStringLiteral("商家"));
    layout->addLayout(pager.row);
    m_pager = new PagedList(m_list, pager.label, pager.box, pager.previous, pager.next,
                            [this](const QString &page) { refresh(page); });
    setDesignColumns(m_list, {{QStringLiteral("ID"), 0, 0},
                              {QStringLiteral("状态"), 80},
                              {QStringLiteral("商家名称"), 100},
                              {QStringLiteral("姓名"), 80},
                              {QStringLiteral("电话"), 80},
                              {QStringLiteral("地址"), 125}});

    connect(m_tabs, &QTabWidget::currentChanged, this, [this] { refresh(QStringLiteral("1")); });
    connect(m_search, &QPushButton::clicked, this, [this] {
        refresh(QStringLiteral("1"));
        clickGuard({m_search});
    });
    connect(m_keyword, &QLineEdit::returnPressed, this, [this] {
        refresh(QStringLiteral("1"));
        clickGuard({m_keyword});
    });
    connect(m_first, &QPushButton::clicked, this, &PartnerPage::firstAction);
    connect(cancel, &QPushButton::clicked, this, &PartnerPage::cancelCooperation);
    connect(m_authorise, &QPushButton::clicked, this, [this] { openGrantWindow(window()); });
}

void PartnerPage::firstAction()
{
    const AppState &state = appState();
    if (state.isPurchaser()) {
        // The supplier decides on the contact it sees, so an application needs one.
        if (gbkLength(state.profileName) < 4) {
            if (askYesNo(window(), QStringLiteral("设置基础资料后才可以申请合作!\r\n是否设置基础资料?"),
                         state.appTitle))
                (new PersonalCentre(window()))->show();
            return;
        }
        (new CooperationWindow(window()))->show();
        return;
    }
    const QString id = selectedCell(m_list, 0);
    if (id.isEmpty()) {
        inform(window(), QStringLiteral("请选中商家!"), state.appTitle);
        return;
    }
    send<protocol::Request::EnablePartner>(id, 1);
}

void PartnerPage::cancelCooperation()
{
    const QString id = selectedCell(m_list, 0);
    if (id.isEmpty()) {
        inform(window(), QStringLiteral("请选中商家!"), appState().appTitle);
        return;
    }
    if (!askYesNo(window(), QStringLiteral("是否取消合作?"), appState().appTitle))
        return;
    send<protocol::Request::EnablePartner>(id, 2);
}

void PartnerPage::refresh(const QString &page)
{
    if (!screenTyped({m_keyword->text()}))
        return;
    send<protocol::Request::PartnerList>(keywordValue(m_keyword->text()), pageParam(page),
                                         m_tabs->currentIndex());
}

void PartnerPage::fill(std::string_view gbkText)
{
    static const QList<QIcon> icons{dotIcon(QColor(0xf5, 0x9e, 0x0b)), dotIcon(QColor(0x16, 0xa3, 0x4a)),
                                    dotIcon(QColor(0x94, 0xa3, 0xb8))};
    const QSignalBlocker quiet(m_list);
    m_pager->fill(gbkText);
    setStateIcons(m_list, 1, {QStringLiteral("审核中"), QStringLiteral("正常"), QStringLiteral("停用")},
                  icons);
}

void PartnerPage::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    restretchColumns(m_list);
}

} // namespace vantrell::client
