#pragma once

// A new statement of the supplier for one purchaser: the start date is the server's, the
// end date is chosen, and the amount of the range comes from the server.

#include "client/ui/common/framedwindow.h"

#include <QDate>
#include <memory>

namespace Ui {
class StatementCreation;
}

namespace vantrell::client {

struct Reply;

class StatementCreation final : public FramedWindow
{
    Q_OBJECT
public:
    StatementCreation(QWidget *owner, const QString &purchaserId);
    ~StatementCreation() override;

    void fillDefaults(const Reply &reply);
    void fillAmount(const Reply &reply);
    void create();
    void showHint();
    // An end date chosen other than the one the window opened with.
    bool hasUnsavedInput() const override;

    long long amountFen() const { return m_amountFen; }

private:
    void endDateChanged();
    void setAmount(const QString &serverText);

    std::unique_ptr<Ui::StatementCreation> m_ui;
    QString m_purchaserId;
    long long m_amountFen = 0;
    QDate m_offeredEnd; // the end date as the window opened with it
};

// The request text of a date: four-digit year, two-digit month and day.
QString requestDate(const QDate &date);

} // namespace vantrell::client
