#pragma once

// The supplier's freight settings: freight mode, charging mode, the default row and one
// row per region. Every change is written to the server at once; there is no save
// button, and each opening reads everything from the server again.

#include "client/ui/common/framedwindow.h"

#include <QStringList>
#include <memory>
#include <optional>
#include <string_view>

class QLineEdit;
class QTableWidgetItem;

namespace Ui {
class FreightWindow;
}

namespace vantrell::client {

struct Reply;

class FreightWindow final : public FramedWindow
{
    Q_OBJECT
public:
    explicit FreightWindow(QWidget *mainWindow);
    ~FreightWindow() override;

    static constexpr int kRegionColumn = 0;
    static constexpr int kValueColumns = 4; // 条件1, 首费, 条件2, 续费 in columns 1 to 4

    // Reply 返回读取运费/运费方式.
    void fillModes(const Reply &reply);
    // Reply 返回运费模板 (full GBK field text).
    void fillTemplate(std::string_view gbkText);

    bool byPiece() const;
    // The value typed in column 1 to 4 as the number text the server takes ("3" for
    // "3.00"); nullopt when the text is not such a number or out of range.
    std::optional<QString> valueText(int column, const QString &typed) const;

signals:
    // A template reply has been shown.
    void templateShown();

protected:
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // Enabled parts, captions and region rows for the chosen modes; the template is then
    // read again.
    void layoutStep();
    void applyLayout();
    void modeChosen();
    void cellEdited(QTableWidgetItem *item);
    void saveDefaultRow(QLineEdit *left);
    QLineEdit *defaultBox(int column) const;

    std::unique_ptr<Ui::FreightWindow> m_ui;
};

void openFreightWindowOver(QWidget *mainWindow);

} // namespace vantrell::client
