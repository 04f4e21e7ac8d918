#include "client/core/skin.h"

#include <QApplication>
#include <QColor>
#include <QFile>
#include <QRegularExpression>
#include <QStyleFactory>
#include <algorithm>
#include <cmath>

static void initSkinResource()
{
    Q_INIT_RESOURCE(skin);
}

namespace vantrell::client {

namespace {

QString readSheet(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll());
}

} // namespace

QString shiftSheetColours(const QString &sheet, int hue, int saturation, int brightness)
{
    if (hue == 0 && saturation == 0 && brightness == 0)
        return sheet;
    static const QRegularExpression colour(QStringLiteral("#([0-9A-Fa-f]{6})\\b"));
    QString out;
    out.reserve(sheet.size());
    qsizetype last = 0;
    auto it = colour.globalMatch(sheet);
    while (it.hasNext()) {
        const auto match = it.next();
        out += QStringView(sheet).mid(last, match.capturedStart() - last);
        QColor c(match.captured(0));
        float h = 0, s = 0, l = 0, a = 0;
        c.getHslF(&h, &s, &l, &a);
        if (h >= 0)
            h = std::fmod(h + float(hue) / 360.0f + 1.0f, 1.0f);
        s = std::clamp(s * (1.0f + float(saturation) / 100.0f), 0.0f, 1.0f);
        l = std::clamp(l + float(brightness) / 100.0f * (brightness > 0 ? 1.0f - l : l), 0.0f, 1.0f);
        c.setHslF(h < 0 ? 0 : h, s, l, a);
        out += c.name();
        last = match.capturedEnd();
    }
    out += QStringView(sheet).mid(last);
    return out;
}

bool attachSkin(int aero, int hue, int saturation, int brightness)
{
    initSkinResource();
    QString sheet = readSheet(QStringLiteral(":/skin/skin.qss"));
    if (sheet.trimmed().isEmpty())
        return false;
    // Sheets of other windows that share the palette.
    sheet += QLatin1Char('\n') + readSheet(QStringLiteral(":/skin/mainwindow.qss"));

    if (QStyle *fusion = QStyleFactory::create(QStringLiteral("Fusion")))
        QApplication::setStyle(fusion);
    qApp->setStyleSheet(shiftSheetColours(sheet, hue, saturation, brightness));
    qApp->setProperty("vantrellAero", aero == 1);
    return true;
}

} // namespace vantrell::client
