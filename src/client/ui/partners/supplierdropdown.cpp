#include "client/ui/partners/supplierdropdown.h"

#include "client/core/windowregistry.h"
#include "client/net/request.h"
#include "client/ui/common/clickguard.h"
#include "client/ui/common/inputrules.h"
#include "client/ui/common/keywordbox.h"
#include "client/ui/common/listfiller.h"
#include "ui_supplierdropdown.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPointer>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTimer>
#include <QTreeWidget>

namespace vantrell::client {

namespace {

const QString kArrowClosed = QStringLiteral("▾");
const QString kArrowOpen = QStringLiteral("▴");

// The arrow that the drop-down last closed itself for on losing the focus, and when.
QPointer<QPushButton> g_autoClosedArrow;
qint64 g_autoClosedAt = -1;

bool closedJustNowFor(const QPushButton *arrow)
{
    return g_autoClosedArrow == arrow && g_autoClosedAt >= 0 &&
           QDateTime::currentMSecsSinceEpoch() - g_autoClosedAt < 300;
}

// A click on the label beside the arrow does what the arrow does.
class LabelClick : public QObject
{
public:
    LabelClick(QLabel *label, QPushButton *arrow, PartnerPicked picked)
        : QObject(label), m_arrow(arrow), m_picked(std::move(picked))
    {}

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::MouseButtonRelease &&
            static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton && m_arrow)
            SupplierDropDown::toggle(m_arrow, m_picked);
        return false;
    }

private:
    QPointer<QPushButton> m_arrow;
    PartnerPicked m_picked;
};

} // namespace

SupplierDropDown::SupplierDropDown(QPushButton *arrow, PartnerPicked picked)
    : QWidget(arrow->window(), Qt::Tool | Qt::FramelessWindowHint), m_ui(new Ui::SupplierDropDown),
      m_arrow(arrow), m_picked(std::move(picked))
{
    m_ui->setupUi(this);
    setAttribute(Qt::WA_DeleteOnClose);
    WindowRegistry::set(WindowId::SupplierDropDown, this);

    setKeywordPlaceholder(m_ui->编辑框_供应商_搜索);
    makeReportList(m_ui->超级列表框1);
    setDesignColumns(m_ui->超级列表框1, {{QStringLiteral("ID"), 0, 0}, {QStringLiteral("公司名称"), 160}});

    connect(m_ui->超级按钮_供应商_搜索, &QPushButton::clicked, this, [this] {
        search();
        clickGuard({m_ui->超级按钮_供应商_搜索});
    });
    connect(m_ui->编辑框_供应商_搜索, &QLineEdit::returnPressed, this, [this] {
        search();
        clickGuard({m_ui->编辑框_供应商_搜索});
    });
    connect(m_ui->超级列表框1, &QTreeWidget::itemSelectionChanged, this, [this] {
        if (!m_browsing)
            SupplierDropDown::picked();
    });
    connect(m_ui->超级列表框1, &QTreeWidget::itemActivated, this, &SupplierDropDown::picked);
    m_ui->超级列表框1->installEventFilter(this);

    // The main window re-places the drop-down after it moved; keep it under the arrow.
    arrow->window()->installEventFilter(this);
    m_arrow->setText(kArrowOpen);
    placeBesideArrow();
    search();
}

SupplierDropDown::~SupplierDropDown()
{
    if (WindowRegistry::get(WindowId::SupplierDropDown) == this)
        WindowRegistry::set(WindowId::SupplierDropDown, nullptr);
}

QTreeWidget *SupplierDropDown::list() const
{
    return m_ui->超级列表框1;
}

void SupplierDropDown::search()
{
    const QString text = m_ui->编辑框_供应商_搜索->text();
    if (!screenTyped({text}, this))
        return;
    send<protocol::Request::SupplierDropDown>(keywordValue(text));
}

void SupplierDropDown::fill(std::string_view gbkText)
{
    QTreeWidget *list = m_ui->超级列表框1;
    const QSignalBlocker quiet(list);
    fillList(list, gbkText);
    auto *all = new QTreeWidgetItem;
    all->setText(0, QStringLiteral("0"));
    all->setText(1, QStringLiteral("所有公司"));
    list->insertTopLevelItem(0, all);
    list->clearSelection();
    list->setCurrentItem(nullptr);
}

void SupplierDropDown::placeBesideArrow()
{
    if (!m_arrow)
        return;
    const QPoint corner = m_arrow->mapToGlobal(QPoint(m_arrow->width(), m_arrow->height() + 2));
    move(corner.x() - width(), corner.y());
}

void SupplierDropDown::picked()
{
    // A click may both select and activate a row: one pick only.
    if (m_closing)
        return;
    const QList<QTreeWidgetItem *> selected = m_ui->超级列表框1->selectedItems();
    const int id = selected.isEmpty() ? 0 : selected.first()->text(0).toInt();
    const QString company = selected.isEmpty() ? QString() : selected.first()->text(1);
    const PartnerPicked handOver = m_picked;
    close();
    if (handOver)
        handOver(id, company);
}

void SupplierDropDown::toggle(QPushButton *arrow, const PartnerPicked &picked)
{
    auto *open = WindowRegistry::as<SupplierDropDown>(WindowId::SupplierDropDown);
    if (open) {
        const bool same = open->m_arrow == arrow;
        open->close();
        if (same)
            return;
    } else if (closedJustNowFor(arrow)) {
        return;
    }
    auto *dropDown = new SupplierDropDown(arrow, picked);
    dropDown->show();
    dropDown->activateWindow();
    dropDown->m_ui->编辑框_供应商_搜索->setFocus();
}

bool SupplierDropDown::event(QEvent *event)
{
    if (event->type() == QEvent::WindowActivate) {
        m_wasActive = true;
    } else if (event->type() == QEvent::WindowDeactivate && m_wasActive && !m_closing && isVisible()) {
        g_autoClosedArrow = m_arrow.data();
        g_autoClosedAt = QDateTime::currentMSecsSinceEpoch();
        close();
    } else if (event->type() == QEvent::Close) {
        // Hiding deactivates the window too; that is no focus loss of the user's.
        m_closing = true;
        if (WindowRegistry::get(WindowId::SupplierDropDown) == this)
            WindowRegistry::set(WindowId::SupplierDropDown, nullptr);
    }
    return QWidget::event(event);
}

bool SupplierDropDown::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_ui->超级列表框1) {
        // Moving with the keyboard selects as it goes; that is browsing, not a pick. The
        // key is handed on with the flag set, and the flag dropped again after it.
        if (event->type() == QEvent::KeyPress && !m_browsing) {
            switch (static_cast<QKeyEvent *>(event)->key()) {
            case Qt::Key_Up:
            case Qt::Key_Down:
            case Qt::Key_PageUp:
            case Qt::Key_PageDown:
            case Qt::Key_Home:
            case Qt::Key_End: {
                m_browsing = true;
                QCoreApplication::sendEvent(watched, event);
                m_browsing = false;
                return true;
            }
            default:
                break;
            }
        }
        return false;
    }
    if (event->type() == QEvent::Move || event->type() == QEvent::Resize)
        QTimer::singleShot(0, this, &SupplierDropDown::placeBesideArrow);
    return false;
}

void SupplierDropDown::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape) {
        QPointer<QPushButton> arrow = m_arrow;
        close();
        if (arrow) {
            arrow->window()->activateWindow();
            arrow->setFocus(Qt::OtherFocusReason);
        }
        return;
    }
    QWidget::keyPressEvent(event);
}

void SupplierDropDown::hideEvent(QHideEvent *event)
{
    // Closed by a pick, the focus, the arrow or a page switch: the arrow points down again.
    if (m_arrow)
        m_arrow->setText(kArrowClosed);
    QWidget::hideEvent(event);
}

void attachSupplierDropDown(QPushButton *arrow, QLabel *label, PartnerPicked picked)
{
    QObject::connect(arrow, &QPushButton::clicked, arrow,
                     [arrow, picked] { SupplierDropDown::toggle(arrow, picked); });
    if (label) {
        label->setCursor(Qt::PointingHandCursor);
        label->installEventFilter(new LabelClick(label, arrow, std::move(picked)));
    }
}

} // namespace vantrell::client
