#pragma once

// The eight figures above the order list, in four framed groups whose width follows
// the right-hand page: g = (R - 56) / 4, 10 px apart.

#include <QWidget>

class QFrame;
class QLabel;

namespace vantrell::client {

struct Reply;

class Dashboard final : public QWidget
{
    Q_OBJECT
public:
    explicit Dashboard(QWidget *parent = nullptr);

    void fill(const Reply &reply);
    static int groupWidth(int rightWidth) { return (rightWidth - 56) / 4; }

    QSize sizeHint() const override { return {600, kHeight}; }

    static constexpr int kHeight = 104;

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    struct Group
    {
        QFrame *frame = nullptr;
        QFrame *bar = nullptr;
        QLabel *captions[2] = {};
        QLabel *values[2] = {};
    };
    void relayout();

    Group m_groups[4];
};

} // namespace vantrell::client
