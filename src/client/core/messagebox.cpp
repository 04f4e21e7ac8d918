#include "client/core/messagebox.h"

#include <QAbstractButton>
#include <QApplication>
#include <QGridLayout>
#include <QMessageBox>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QScreen>

namespace vantrell::client {

namespace {

constexpr int kPictureSide = 40;

// Drawn on a 24-unit square, like the title bars' line pictures: a filled disc with a
// white mark.
void drawMark(QPainter &p, int style)
{
    QPen pen(Qt::white, 2.4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    switch (style) {
    case StyleError:
        p.drawLine(QPointF(8.6, 8.6), QPointF(15.4, 15.4));
        p.drawLine(QPointF(15.4, 8.6), QPointF(8.6, 15.4));
        break;
    case StyleQuestion:
    case StyleYesNo: {
        QPainterPath hook;
        hook.moveTo(9.2, 9.6);
        hook.cubicTo(9.2, 7.4, 10.6, 6.4, 12.2, 6.4);
        hook.cubicTo(14.0, 6.4, 15.0, 7.7, 15.0, 9.2);
        hook.cubicTo(15.0, 11.4, 12.2, 11.6, 12.2, 14.0);
        p.drawPath(hook);
        p.setPen(Qt::NoPen);
        p.setBrush(Qt::white);
        p.drawEllipse(QPointF(12.2, 17.6), 1.45, 1.45);
        break;
    }
    default:
        p.setPen(Qt::NoPen);
        p.setBrush(Qt::white);
        p.drawEllipse(QPointF(12, 7.4), 1.5, 1.5);
        p.setPen(pen);
        p.drawLine(QPointF(12, 11.0), QPointF(12, 17.4));
        break;
    }
}

QColor discColour(int style)
{
    switch (style) {
    case StyleError:
        return QColor(0xe5, 0x48, 0x4d);
    case StyleQuestion:
    case StyleYesNo:
        return QColor(0xe4, 0x9b, 0x0f);
    default:
        return QColor(0x2f, 0x6f, 0xde);
    }
}

qreal ratioFor(const QWidget *parent)
{
    if (parent)
        return parent->devicePixelRatioF();
    const QScreen *screen = QGuiApplication::primaryScreen();
    return screen ? screen->devicePixelRatio() : qApp->devicePixelRatio();
}

class QtMessageBoxes final : public MessageBoxes
{
public:
    MessageAnswer show(QWidget *parent, const QString &text, int style, const QString &caption) override
    {
        const std::unique_ptr<QMessageBox> box = buildMessageBox(parent, text, style, caption);
        const int answer = box->exec();
        if (style == StyleYesNo)
            return answer == QMessageBox::Yes ? MessageAnswer::Yes : MessageAnswer::No;
        return MessageAnswer::Ok;
    }
};

QtMessageBoxes &realBoxes()
{
    static QtMessageBoxes boxes;
    return boxes;
}

MessageBoxes *g_current = nullptr;

} // namespace

QPixmap messagePicture(int style, int side, qreal ratio)
{
    QPixmap pixmap(qRound(side * ratio), qRound(side * ratio));
    pixmap.setDevicePixelRatio(ratio);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(side / 24.0, side / 24.0);
    painter.setPen(Qt::NoPen);
    painter.setBrush(discColour(style));
    painter.drawEllipse(QRectF(1, 1, 22, 22));
    drawMark(painter, style);
    return pixmap;
}

std::unique_ptr<QMessageBox> buildMessageBox(QWidget *parent, const QString &text, int style,
                                             const QString &caption)
{
    auto box = std::make_unique<QMessageBox>(parent);
    box->setObjectName(QStringLiteral("消息框"));
    box->setWindowTitle(caption);
    // Notices and order numbers come from the server and other merchants: never markup.
    box->setTextFormat(Qt::PlainText);
    box->setText(text);
    box->setIconPixmap(messagePicture(style, kPictureSide, ratioFor(parent)));
    if (auto *grid = qobject_cast<QGridLayout *>(box->layout())) {
        grid->setContentsMargins(24, 22, 24, 18);
        grid->setHorizontalSpacing(16);
        grid->setVerticalSpacing(18);
    }
    if (style == StyleYesNo) {
        box->setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box->button(QMessageBox::Yes)->setText(QStringLiteral("是(&Y)"));
        box->button(QMessageBox::No)->setText(QStringLiteral("否(&N)"));
        box->setDefaultButton(QMessageBox::Yes);
        box->setEscapeButton(QMessageBox::No);
    } else {
        box->setStandardButtons(QMessageBox::Ok);
        box->button(QMessageBox::Ok)->setText(QStringLiteral("确定"));
    }
    return box;
}

MessageBoxes &messageBoxes()
{
    return g_current ? *g_current : realBoxes();
}

void setMessageBoxes(MessageBoxes *boxes)
{
    g_current = boxes;
}

void inform(QWidget *parent, const QString &text, const QString &caption)
{
    messageBoxes().show(parent, text, StyleInformation, caption);
}

bool askYesNo(QWidget *parent, const QString &text, const QString &caption)
{
    return messageBoxes().show(parent, text, StyleYesNo, caption) == MessageAnswer::Yes;
}

} // namespace vantrell::client
