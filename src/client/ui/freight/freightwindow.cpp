#include "client/ui/freight/freightwindow.h"

#include "client/core/appstate.h"
#include "client/core/messagebox.h"
#include "client/core/text.h"
#include "client/core/windowregistry.h"
#include "client/net/dispatcher.h"
#include "client/net/request.h"
#include "protocol/decimal.h"
#include "protocol/fieldtext.h"
#include "protocol/gbk.h"
#include "ui_freightwindow.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QPointer>
#include <QRegularExpressionValidator>
#include <QSignalBlocker>
#include <QStyledItemDelegate>
#include <QTabBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QTimer>

namespace vantrell::client {

namespace {

constexpr int kRows = 35;                         // row 0 holds the captions, rows 1-34 the regions
constexpr long long kMaxQuantity = 1'000'000'000; // 1,000,000 kg or pieces, in thousandths
constexpr long long kMaxFeeFen = 100'000'000;     // 1,000,000.00 yuan
constexpr int kDefaultBoxBytes = 5;

bool isFeeColumn(int column)
{
    return column == 2 || column == 4;
}

// Fraction digits that can be typed in a value column: fees in fen, weights in grams,
// whole pieces.
int decimalsOf(int column, bool byPiece)
{
    return isFeeColumn(column) ? 2 : (byPiece ? 0 : 3);
}

QString numberPattern(int integerDigits, int decimals)
{
    QString pattern = QStringLiteral("[0-9]{0,%1}").arg(integerDigits);
    if (decimals > 0)
        pattern += QStringLiteral("(\\.[0-9]{0,%1})?").arg(decimals);
    return pattern;
}

// "12." and ".5" are complete numbers for the person typing them; a lone point is not.
std::string completed(QString text)
{
    text = text.trimmed();
    if (text == QStringLiteral("."))
        return "?";
    if (text.endsWith(QLatin1Char('.')))
        text.chop(1);
    if (text.startsWith(QLatin1Char('.')))
        text.prepend(QLatin1Char('0'));
    return text.toStdString();
}

QString recordField(std::string_view record, const char *utf8Key)
{
    return fromGbk(protocol::valueOf(record, protocol::gbk(utf8Key)));
}

// The default row boxes: at most five characters of a number typed.
class DefaultBoxValidator final : public QRegularExpressionValidator
{
public:
    using QRegularExpressionValidator::QRegularExpressionValidator;
    State validate(QString &input, int &pos) const override
    {
        if (input.size() > kDefaultBoxBytes)
            return Invalid;
        return QRegularExpressionValidator::validate(input, pos);
    }
};

// Grid cells take only numbers of their column; a finished edit that is still not a
// number in range (a lone ".", more than a million) is refused and the cell keeps its
// value.
class ValueDelegate final : public QStyledItemDelegate
{
public:
    ValueDelegate(FreightWindow *window, QObject *parent) : QStyledItemDelegate(parent), m_window(window) {}

    QWidget *createEditor(QWidget *parent, const QStyleOptionViewItem &,
                          const QModelIndex &index) const override
    {
        auto *editor = new QLineEdit(parent);
        editor->setAlignment(Qt::AlignCenter);
        editor->setFrame(false);
        editor->setValidator(new QRegularExpressionValidator(
            QRegularExpression(numberPattern(7, decimalsOf(index.column(), m_window->byPiece()))), editor));
        return editor;
    }

    void setModelData(QWidget *editor, QAbstractItemModel *model, const QModelIndex &index) const override
    {
        const QString typed = static_cast<QLineEdit *>(editor)->text();
        if (model->data(index).toString() == typed)
            return;
        if (!m_window->valueText(index.column(), typed)) {
            const QPointer<FreightWindow> window(m_window);
            const QString text = isFeeColumn(index.column())
                                     ? QStringLiteral("运费金额必须是0到1000000元之间的数,最多两位小数!")
                                     : QStringLiteral("运费条件必须是0到1000000之间的数!");
            QTimer::singleShot(0, m_window, [window, text] {
                if (window)
                    inform(window, text, window->windowTitle());
            });
            return;
        }
        model->setData(index, typed.trimmed());
    }

private:
    FreightWindow *m_window;
};

} // namespace

FreightWindow::FreightWindow(QWidget *mainWindow) : FramedWindow(mainWindow), m_ui(new Ui::FreightWindow)
{
    m_ui->setupUi(this);
    adoptCloseButton(m_ui->图形按钮_关闭);
    setWindowModality(Qt::ApplicationModal);
    WindowRegistry::set(WindowId::FreightSettings, this);

    QTableWidget *grid = m_ui->高级表格1;
    grid->setColumnCount(1 + kValueColumns);
    grid->verticalHeader()->setVisible(false);
    grid->verticalHeader()->setDefaultSectionSize(26);
    grid->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    grid->horizontalHeader()->setHighlightSections(false);
    grid->setSelectionMode(QAbstractItemView::SingleSelection);
    grid->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                          QAbstractItemView::AnyKeyPressed | QAbstractItemView::SelectedClicked);
    grid->setItemDelegate(new ValueDelegate(this, grid));
    // The arrow keys move between the cells; Tab goes on to the next control.
    grid->setTabKeyNavigation(false);
    // Each tab widget has one page: its bar is a caption, nothing to choose with the keys.
    for (QTabWidget *tabs : {m_ui->高级选择夹1, m_ui->高级选择夹2}) {
        tabs->setFocusPolicy(Qt::NoFocus);
        tabs->tabBar()->setFocusPolicy(Qt::NoFocus);
    }

    for (int column = 1; column <= kValueColumns; ++column) {
        QLineEdit *box = defaultBox(column);
        box->setMaxLength(16); // reformatted texts may be longer than what can be typed
        // Rounded to the row's format when the box is left.
        box->setValidator(new DefaultBoxValidator(
            QRegularExpression(numberPattern(kDefaultBoxBytes, isFeeColumn(column) ? 2 : 3)), box));
        box->installEventFilter(this);
        connect(box, &QLineEdit::returnPressed, this, [this] { focusNextChild(); });
    }

    connect(m_ui->组合框1, &QComboBox::currentIndexChanged, this, &FreightWindow::modeChosen);
    connect(m_ui->组合框2, &QComboBox::currentIndexChanged, this, &FreightWindow::modeChosen);
    connect(grid, &QTableWidget::itemChanged, this, &FreightWindow::cellEdited);

    applyLayout(); // the look until the server's answer: manual freight, by weight
    centreOnOwner();
    send<protocol::Request::FreightMode>();
}

FreightWindow::~FreightWindow()
{
    if (WindowRegistry::get(WindowId::FreightSettings) == this)
        WindowRegistry::set(WindowId::FreightSettings, nullptr);
}

bool FreightWindow::byPiece() const
{
    return m_ui->组合框2->currentIndex() == 1;
}

QLineEdit *FreightWindow::defaultBox(int column) const
{
    switch (column) {
    case 1:
        return m_ui->编辑框1;
    case 2:
        return m_ui->编辑框2;
    case 3:
        return m_ui->编辑框3;
    default:
        return m_ui->编辑框4;
    }
}

std::optional<QString> FreightWindow::valueText(int column, const QString &typed) const
{
    // The server's units whatever the charging mode: fen for fees, thousandths of a
    // kilogram or piece for quantities (the stored numbers are not converted on a switch).
    const int decimals = isFeeColumn(column) ? 2 : 3;
    const long long limit = isFeeColumn(column) ? kMaxFeeFen : kMaxQuantity;
    const std::string text = completed(typed);
    const auto value = text.empty() ? std::optional<long long>(0) : protocol::parseScaled(text, decimals);
    if (!value || *value > limit)
        return std::nullopt;
    return QString::fromStdString(protocol::formatTrimmed(*value, decimals));
}

void FreightWindow::fillModes(const Reply &reply)
{
    auto index = [](const QString &text) {
        bool ok = false;
        const int value = text.trimmed().toInt(&ok);
        return ok && (value == 0 || value == 1) ? value : 0;
    };
    {
        const QSignalBlocker first(m_ui->组合框1), second(m_ui->组合框2);
        m_ui->组合框1->setCurrentIndex(index(reply.value(QStringLiteral("运费方式"))));
        m_ui->组合框2->setCurrentIndex(index(reply.value(QStringLiteral("计价方式"))));
    }
    layoutStep();
}

void FreightWindow::layoutStep()
{
    applyLayout();
    send<protocol::Request::FreightTemplate>();
}

void FreightWindow::applyLayout()
{
    const bool system = m_ui->组合框1->currentIndex() == 1;
    m_ui->组合框2->setEnabled(system);
    m_ui->高级选择夹1->setEnabled(system);
    m_ui->高级选择夹2->setEnabled(system);

    const bool piece = byPiece();
    const QStringList captions = {
        QStringLiteral("运送到"), piece ? QStringLiteral("首件数(件)") : QStringLiteral("首重量(kg)"),
        QStringLiteral("首费(元)"), piece ? QStringLiteral("续件数(件)") : QStringLiteral("续重量(kg)"),
        QStringLiteral("续费(元)")};
    m_ui->标签4->setText(piece ? QStringLiteral("件内") : QStringLiteral("kg内"));
    m_ui->标签3->setText(piece ? QStringLiteral("件，增加运费") : QStringLiteral("kg，增加运费"));

    QTableWidget *grid = m_ui->高级表格1;
    const QSignalBlocker cells(grid);
    grid->setRowCount(kRows);
    grid->setHorizontalHeaderLabels(captions);
    QFont font(QStringLiteral("微软雅黑"));
    font.setPixelSize(14);
    grid->setFont(font);
    const QStringList &regions = appState().regions;
    for (int row = 0; row < kRows; ++row) {
        for (int column = 0; column <= kValueColumns; ++column) {
            QTableWidgetItem *item = grid->item(row, column);
            if (!item) {
                item = new QTableWidgetItem;
                grid->setItem(row, column, item);
            }
            if (row == 0)
                item->setText(captions[column]);
            else if (column == kRegionColumn)
                item->setText(row - 1 < regions.size() ? regions[row - 1] : QString());
            item->setTextAlignment(Qt::AlignCenter);
            item->setFont(font);
            if (row == 0 || column == kRegionColumn)
                item->setFlags(item->flags() & ~Qt::ItemIsEditable);
        }
    }
    // The captions row stands in the header, which stays in view while scrolling.
    grid->setRowHidden(0, true);
}

void FreightWindow::fillTemplate(std::string_view gbkText)
{
    if (gbkText.find(protocol::gbk(protocol::kListMarker)) == std::string_view::npos)
        return;
    QTableWidget *grid = m_ui->高级表格1;
    const QSignalBlocker cells(grid);
    const std::string marker = protocol::gbk(protocol::kListMarker);
    for (std::string_view record : protocol::splitRecords(gbkText, marker)) {
        bool ok = false;
        const int region = recordField(record, "地区索引").trimmed().toInt(&ok);
        if (!ok || region < 0 || region >= kRows)
            continue;
        const QString values[] = {recordField(record, "条件1"), recordField(record, "首费"),
                                  recordField(record, "条件2"), recordField(record, "续费")};
        for (int column = 1; column <= kValueColumns; ++column) {
            if (region == 0) {
                // What is being typed stays; it is saved when the box is left.
                QLineEdit *box = defaultBox(column);
                if (!(box->hasFocus() && box->isModified()))
                    box->setText(values[column - 1]);
            } else if (QTableWidgetItem *item = grid->item(region, column)) {
                item->setText(values[column - 1]);
            }
        }
    }
    emit templateShown();
}

void FreightWindow::modeChosen()
{
    layoutStep();
    send<protocol::Request::SetFreightMode>(m_ui->组合框1->currentIndex(), m_ui->组合框2->currentIndex());
}

void FreightWindow::cellEdited(QTableWidgetItem *item)
{
    // The row the edit was made on, wherever the current cell is by now.
    const int row = item ? item->row() : -1;
    if (row < 1 || row >= kRows || item->column() == kRegionColumn)
        return;
    QString values[kValueColumns];
    for (int column = 1; column <= kValueColumns; ++column) {
        const QTableWidgetItem *cell = m_ui->高级表格1->item(row, column);
        const auto value = valueText(column, cell ? cell->text() : QString());
        if (!value) {
            inform(this, QStringLiteral("第%1行的运费不是有效的数字,未保存!").arg(row), windowTitle());
            return;
        }
        values[column - 1] = *value;
    }
    send<protocol::Request::SetFreightRow>(row, values[0], values[1], values[2], values[3]);
}

void FreightWindow::saveDefaultRow(QLineEdit *left)
{
    // The box just left shows its number in the row's format; the row is saved whole.
    const bool piece = byPiece();
    QString values[kValueColumns];
    for (int column = 1; column <= kValueColumns; ++column) {
        QLineEdit *box = defaultBox(column);
        const int shown = isFeeColumn(column) ? 2 : (piece ? 0 : 1);
        const std::string text = completed(box->text());
        const auto rounded = text.empty() ? std::optional<long long>(0) : protocol::parseRounded(text, shown);
        if (!rounded) {
            inform(this, QStringLiteral("默认运费不是有效的数字,未保存!"), windowTitle());
            return;
        }
        if (box == left)
            box->setText(QString::fromStdString(protocol::formatFixed(*rounded, shown)));
        const auto value =
            valueText(column, QString::fromStdString(protocol::formatTrimmed(*rounded, shown)));
        if (!value) {
            inform(this, QStringLiteral("默认运费超出范围,未保存!"), windowTitle());
            return;
        }
        values[column - 1] = *value;
    }
    send<protocol::Request::SetFreightRow>(0, values[0], values[1], values[2], values[3]);
}

bool FreightWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::FocusOut) {
        for (int column = 1; column <= kValueColumns; ++column) {
            if (watched == defaultBox(column)) {
                saveDefaultRow(defaultBox(column));
                break;
            }
        }
    }
    return FramedWindow::eventFilter(watched, event);
}

void FreightWindow::closeEvent(QCloseEvent *event)
{
    // A box or cell still being typed in is saved as if it was left.
    if (QWidget *focused = focusWidget())
        focused->clearFocus();
    FramedWindow::closeEvent(event);
}

void openFreightWindowOver(QWidget *mainWindow)
{
    if (QWidget *open = WindowRegistry::get(WindowId::FreightSettings)) {
        open->raise();
        return;
    }
    (new FreightWindow(mainWindow))->show();
}

} // namespace vantrell::client
