#include "client/ui/goods/goodseditor.h"

#include "client/core/gbklimit.h"
#include "client/core/messagebox.h"
#include "client/core/text.h"
#include "client/core/windowregistry.h"
#include "client/net/dispatcher.h"
#include "client/net/request.h"
#include "client/ui/common/clickguard.h"
#include "client/ui/common/inputrules.h"
#include "client/ui/goods/amounttext.h"
#include "protocol/decimal.h"
#include "ui_goodseditor.h"

#include <QComboBox>
#include <QEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTabBar>
#include <QToolButton>

namespace vantrell::client {

namespace {

const QString kYuan = QStringLiteral("元");
const QString kKilogram = QStringLiteral("千克");
const QString kNoCategory = QStringLiteral("设置商品分类...");
constexpr int kPriceDecimals = 2;
constexpr int kWeightDecimals = 3;

} // namespace

void fillCategoryList(QComboBox *box, const QString &list, bool clearFirst)
{
    if (!list.contains(QLatin1Char('|')))
        return;
    const QSignalBlocker blocker(box);
    if (clearFirst)
        box->clear();
    for (const QString &entry : list.split(QLatin1Char('|'))) {
        const QString id = entry.section(QLatin1Char(','), 0, 0);
        const QString name = entry.section(QLatin1Char(','), 1, 1);
        if (!id.isEmpty() && !name.isEmpty())
            box->addItem(name, id.toInt());
    }
}

GoodsEditor::GoodsEditor(QWidget *mainWindow, Mode mode, int goodsId)
    : FramedWindow(mainWindow), m_ui(new Ui::GoodsEditor), m_mode(mode), m_goodsId(goodsId)
{
    m_ui->setupUi(this);
    adoptCloseButton(m_ui->图形按钮_关闭1);
    setWindowModality(Qt::ApplicationModal);
    WindowRegistry::set(WindowId::GoodsEditing, this);
    m_ui->透明标签8->setStyleSheet(QStringLiteral("color: #FFFFFF; font-size: 14px; font-weight: bold;"));

    limitGbkBytes(m_ui->编辑框_商品名称, 30);
    limitGbkBytes(m_ui->编辑框_商品编码, 20);
    limitGbkBytes(m_ui->编辑框_商品规格, 20);
    limitGbkBytes(m_ui->编辑框_商品单价, 9);
    limitGbkBytes(m_ui->编辑框_商品重量, 9);
    limitGbkBytes(m_ui->编辑框_商品库存, 9);
    m_ui->编辑框_商品单价->setText(QStringLiteral("0") + kYuan);
    m_ui->编辑框_商品重量->setText(QStringLiteral("0") + kKilogram);
    m_ui->组合框_单位->addItems({QStringLiteral("个"), QStringLiteral("套"), QStringLiteral("件"),
                                 QStringLiteral("箱"), QStringLiteral("双")});
    m_ui->组合框_单位->setCurrentIndex(0);
    limitGbkBytes(m_ui->组合框_单位->lineEdit(), 4);
    limitGbkBytes(m_ui->组合框_分类->lineEdit(), 20);
    m_ui->组合框_分类->setEditText(kNoCategory);
    // One page, nothing to choose: the tabs take no focus.
    m_ui->高级选择夹1->setFocusPolicy(Qt::NoFocus);
    m_ui->高级选择夹1->tabBar()->setFocusPolicy(Qt::NoFocus);

    // Enter walks through the fields in their order, as the form is filled top down.
    const QList<QLineEdit *> order = {m_ui->编辑框_商品名称,         m_ui->编辑框_商品编码,
                                      m_ui->编辑框_商品规格,         m_ui->编辑框_商品单价,
                                      m_ui->编辑框_商品重量,         m_ui->编辑框_商品库存,
                                      m_ui->组合框_单位->lineEdit(), m_ui->组合框_分类->lineEdit()};
    for (qsizetype i = 0; i < order.size(); ++i) {
        QWidget *next = i + 1 < order.size() ? static_cast<QWidget *>(order[i + 1])
                                             : static_cast<QWidget *>(m_ui->超级按钮_增加编辑商品);
        connect(order[i], &QLineEdit::returnPressed, this, [next] {
            if (auto *box = qobject_cast<QLineEdit *>(next))
                focusAtEnd(box);
            else
                next->setFocus();
        });
    }
    m_ui->编辑框_商品单价->installEventFilter(this);
    m_ui->编辑框_商品重量->installEventFilter(this);
    connect(m_ui->按钮_商品单价_加, &QToolButton::clicked, this,
            [this] { step(m_ui->编辑框_商品单价, 100); });
    connect(m_ui->按钮_商品单价_减, &QToolButton::clicked, this,
            [this] { step(m_ui->编辑框_商品单价, -100); });
    connect(m_ui->按钮_商品重量_加, &QToolButton::clicked, this, [this] { step(m_ui->编辑框_商品重量, 1); });
    connect(m_ui->按钮_商品重量_减, &QToolButton::clicked, this, [this] { step(m_ui->编辑框_商品重量, -1); });
    connect(m_ui->超级按钮_增加编辑商品, &QPushButton::clicked, this, &GoodsEditor::submit);

    QString heading;
    switch (m_mode) {
    case Mode::Add:
        heading = QStringLiteral("增加商品");
        m_ui->超级按钮_增加编辑商品->setText(QStringLiteral("提交"));
        break;
    case Mode::Edit:
        heading = QStringLiteral("编辑商品");
        m_ui->超级按钮_增加编辑商品->setText(QStringLiteral("保存"));
        m_ui->超级按钮_增加编辑商品->setEnabled(false); // until the goods arrive
        break;
    case Mode::View:
        heading = QStringLiteral("查看");
        m_ui->超级按钮_增加编辑商品->setText(QStringLiteral("关闭窗口"));
        m_ui->页_商品信息->setEnabled(false);
        break;
    }
    m_ui->透明标签8->setText(heading);
    m_shown = typed();
    centreOnOwner();
    if (m_mode == Mode::Add)
        send<protocol::Request::GoodsCategories>();
    else
        send<protocol::Request::GoodsInfo>(m_goodsId);
}

GoodsEditor::~GoodsEditor()
{
    if (WindowRegistry::get(WindowId::GoodsEditing) == this)
        WindowRegistry::set(WindowId::GoodsEditing, nullptr);
}

void GoodsEditor::fillCategories(std::string_view gbkList)
{
    const QSignalBlocker blocker(m_ui->组合框_分类);
    m_ui->组合框_分类->clear();
    fillCategoryList(m_ui->组合框_分类, fromGbk(gbkList), false);
    m_ui->组合框_分类->setEditText(kNoCategory);
}

void GoodsEditor::fill(const Reply &reply)
{
    const auto value = [&reply](const char *key) {
        return reply.value(QString::fromUtf8(key));
    };
    const QSignalBlocker categoryBlocker(m_ui->组合框_分类);
    const QSignalBlocker unitBlocker(m_ui->组合框_单位);
    m_ui->组合框_分类->clear();
    fillCategoryList(m_ui->组合框_分类, value("商品分类列表"), false);
    m_ui->编辑框_商品名称->setText(value("商品名称"));
    m_ui->编辑框_商品编码->setText(value("商品编码"));
    m_ui->编辑框_商品规格->setText(value("商品规格"));
    m_ui->编辑框_商品单价->setText(value("商品单价") + kYuan);
    m_ui->编辑框_商品重量->setText(value("商品重量") + kKilogram);
    m_ui->编辑框_商品库存->setText(value("商品库存"));
    m_ui->组合框_单位->setEditText(value("库存单位"));
    m_ui->组合框_分类->setEditText(value("商品分类名称"));
    m_ui->超级按钮_增加编辑商品->setEnabled(true);
    m_shown = typed();
    focusAtEnd(m_ui->编辑框_商品名称);
}

QStringList GoodsEditor::typed() const
{
    // The amount boxes drop their unit while they have the focus; that is no change.
    return {m_ui->编辑框_商品名称->text(),
            m_ui->编辑框_商品编码->text(),
            m_ui->编辑框_商品规格->text(),
            withoutSuffix(m_ui->编辑框_商品单价->text(), kYuan),
            withoutSuffix(m_ui->编辑框_商品重量->text(), kKilogram),
            m_ui->编辑框_商品库存->text(),
            m_ui->组合框_单位->currentText(),
            m_ui->组合框_分类->currentText()};
}

bool GoodsEditor::hasUnsavedInput() const
{
    return m_mode != Mode::View && typed() != m_shown;
}

bool GoodsEditor::refuse(const QString &text, QLineEdit *box)
{
    inform(this, text, windowTitle());
    focusAtEnd(box);
    return false;
}

void GoodsEditor::submit()
{
    if (m_ui->超级按钮_增加编辑商品->text() == QStringLiteral("关闭窗口")) {
        close();
        return;
    }
    QLineEdit *nameBox = m_ui->编辑框_商品名称;
    QLineEdit *priceBox = m_ui->编辑框_商品单价;
    QLineEdit *weightBox = m_ui->编辑框_商品重量;
    QLineEdit *stockBox = m_ui->编辑框_商品库存;
    QLineEdit *unitBox = m_ui->组合框_单位->lineEdit();

    if (gbkLength(nameBox->text()) < 4) {
        refuse(QStringLiteral("商品名称长度必须超过4个字符!"), nameBox);
        return;
    }
    // Amounts are taken exactly as typed: a text that is no number is refused rather
    // than read as 0, and more decimals than the server keeps are not cut off silently.
    const TypedAmount price = readAmount(priceBox->text(), kYuan, kPriceDecimals, true);
    const TypedAmount roughPrice = readAmount(priceBox->text(), kYuan, 9, false);
    if (!roughPrice.valid) {
        refuse(QStringLiteral("商品单价必须是数字,例如 12.50!"), priceBox);
        return;
    }
    if (roughPrice.negative || roughPrice.scaled == 0) {
        refuse(QStringLiteral("请填写商品单价!"), priceBox);
        return;
    }
    if (!price.valid) {
        refuse(QStringLiteral("商品单价最多两位小数!"), priceBox);
        return;
    }
    const TypedAmount stock = readAmount(stockBox->text(), QString(), 0, true);
    const TypedAmount roughStock = readAmount(stockBox->text(), QString(), 9, false);
    if (!roughStock.valid) {
        refuse(QStringLiteral("商品库存必须是数字!"), stockBox);
        return;
    }
    if (roughStock.negative || roughStock.scaled == 0) {
        refuse(QStringLiteral("请填写商品库存!"), stockBox);
        return;
    }
    if (!stock.valid) {
        refuse(QStringLiteral("商品库存必须是整数!"), stockBox);
        return;
    }
    if (gbkLength(unitBox->text()) < 2) {
        refuse(QStringLiteral("请填写单位!"), unitBox);
        return;
    }
    const TypedAmount weight = readAmount(weightBox->text(), kKilogram, kWeightDecimals, true);
    if (!weight.valid || weight.negative) {
        refuse(QStringLiteral("商品重量必须是不小于0的数字,最多三位小数!"), weightBox);
        return;
    }
    const QString category = m_ui->组合框_分类->currentText();
    if (!screenTyped({nameBox->text(), m_ui->编辑框_商品编码->text(), m_ui->编辑框_商品规格->text(),
                      priceBox->text(), weightBox->text(), stockBox->text(), unitBox->text(), category},
                     this))
        return;

    const bool editing = m_ui->超级按钮_增加编辑商品->text() == QStringLiteral("保存");
    send<protocol::Request::SaveGoods>(
        editing ? QString::number(m_goodsId) : QString(), trimSpaces(nameBox->text()),
        trimSpaces(m_ui->编辑框_商品编码->text()), trimSpaces(m_ui->编辑框_商品规格->text()),
        QString::fromStdString(protocol::formatFixed(price.scaled, kPriceDecimals)),
        QString::fromStdString(protocol::formatTrimmed(weight.scaled, kWeightDecimals)),
        QString::number(stock.scaled), trimSpaces(unitBox->text()),
        category.contains(QStringLiteral("设置商品分类")) ? QString() : trimSpaces(category));
    clickGuard({m_ui->超级按钮_增加编辑商品});
}

void GoodsEditor::step(QLineEdit *box, long long units)
{
    const bool price = box == m_ui->编辑框_商品单价;
    const QString &suffix = price ? kYuan : kKilogram;
    box->setText(steppedAmount(box->text(), suffix, price ? kPriceDecimals : kWeightDecimals, units));
    box->setCursorPosition(int(box->text().size()));
}

bool GoodsEditor::eventFilter(QObject *watched, QEvent *event)
{
    auto *box = qobject_cast<QLineEdit *>(watched);
    if (box && (event->type() == QEvent::FocusIn || event->type() == QEvent::FocusOut)) {
        const bool price = box == m_ui->编辑框_商品单价;
        const QString &suffix = price ? kYuan : kKilogram;
        if (event->type() == QEvent::FocusIn)
            box->setText(withoutSuffix(box->text(), suffix));
        else
            box->setText(normalisedAmount(withoutSuffix(box->text(), suffix) + suffix, suffix,
                                          price ? kPriceDecimals : kWeightDecimals));
    }
    if (box && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        const bool price = box == m_ui->编辑框_商品单价;
        if (key == Qt::Key_Up || key == Qt::Key_Down) {
            step(box, (key == Qt::Key_Up ? 1 : -1) * (price ? 100 : 1));
            return true;
        }
    }
    return FramedWindow::eventFilter(watched, event);
}

void openGoodsEditor(QWidget *mainWindow, GoodsEditor::Mode mode, int goodsId)
{
    auto *window = new GoodsEditor(mainWindow, mode, goodsId);
    window->show();
}

} // namespace vantrell::client
