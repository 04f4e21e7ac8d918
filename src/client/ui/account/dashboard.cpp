#include "client/ui/account/dashboard.h"

#include "client/net/dispatcher.h"

#include <QFrame>
#include <QLabel>

namespace vantrell::client {

namespace {

struct GroupDesign
{
    const char16_t *frame;
    const char16_t *title;
    const char16_t *accent;
    const char16_t *captions[2];
    const char16_t *labels[2];
    const char16_t *fields[2];
};

constexpr GroupDesign kGroups[4] = {
    {u"外形框_今日发货",
     u"今日发货",
     u"blue",
     {u"待发货", u"已发货"},
     {u"标签_发货_待发货", u"标签_发货_已发货"},
     {u"未发货", u"已发货"}},
    {u"外形框_销售状况",
     u"销售状况",
     u"green",
     {u"今天", u"昨天"},
     {u"标签_销售_今天", u"标签_销售_昨天"},
     {u"今日销售额", u"昨日销售额"}},
    {u"外形框_订单数量",
     u"订单件数",
     u"orange",
     {u"今天", u"昨天"},
     {u"标签_数量_今天", u"标签_数量_昨天"},
     {u"今日件数", u"昨日件数"}},
    {u"外形框_今天结算",
     u"结算状况",
     u"purple",
     {u"待结算", u"已结算"},
     {u"标签_结算_待结算", u"标签_结算_已结算"},
     {u"待结算金额", u"已结算金额"}},
};

QString text(const char16_t *utf16)
{
    return QString::fromUtf16(utf16);
}

} // namespace

Dashboard::Dashboard(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("dashboard"));
    setFixedHeight(kHeight);
    for (int i = 0; i < 4; ++i) {
        const GroupDesign &design = kGroups[i];
        Group &group = m_groups[i];
        group.frame = new QFrame(this);
        group.frame->setObjectName(text(design.frame));
        group.frame->setProperty("role", QStringLiteral("dashboardGroup"));
        auto *title = new QLabel(text(design.title), group.frame);
        title->setProperty("role", QStringLiteral("dashboardTitle"));
        title->setGeometry(12, 6, 120, 22);
        for (int k = 0; k < 2; ++k) {
            group.captions[k] = new QLabel(text(design.captions[k]), group.frame);
            group.captions[k]->setProperty("role", QStringLiteral("dashboardCaption"));
            group.values[k] = new QLabel(QStringLiteral("0"), group.frame);
            group.values[k]->setObjectName(text(design.labels[k]));
            group.values[k]->setProperty("role", QStringLiteral("dashboardValue"));
            group.values[k]->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        }
        group.bar = new QFrame(this);
        group.bar->setObjectName(text(design.frame) + QStringLiteral("_线"));
        group.bar->setProperty("accent", text(design.accent));
    }
    relayout();
}

void Dashboard::fill(const Reply &reply)
{
    for (int i = 0; i < 4; ++i) {
        for (int k = 0; k < 2; ++k)
            m_groups[i].values[k]->setText(reply.value(text(kGroups[i].fields[k])));
    }
}

void Dashboard::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    relayout();
}

void Dashboard::relayout()
{
    const int g = groupWidth(width());
    const int frameHeight = kHeight - 14;
    int left = 13;
    for (Group &group : m_groups) {
        group.frame->setGeometry(left, 6, g, frameHeight);
        group.bar->setGeometry(left, 6 + frameHeight - 3, g, 3);
        for (int k = 0; k < 2; ++k) {
            const int top = 32 + k * 26;
            group.captions[k]->setGeometry(12, top, 48, 24);
            group.values[k]->setGeometry(48, top, g - 60, 24);
        }
        left += g + 10;
    }
}

} // namespace vantrell::client
