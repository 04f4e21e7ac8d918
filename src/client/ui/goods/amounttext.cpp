#include "client/ui/goods/amounttext.h"

#include "client/core/text.h"
#include "protocol/decimal.h"

namespace vantrell::client {

QString withoutSuffix(const QString &text, const QString &suffix)
{
    QString plain = trimSpaces(text);
    if (!suffix.isEmpty() && plain.endsWith(suffix))
        plain.chop(suffix.size());
    return trimSpaces(plain);
}

TypedAmount readAmount(const QString &text, const QString &suffix, int decimals, bool exact)
{
    QString plain = withoutSuffix(text, suffix);
    TypedAmount amount;
    if (plain.isEmpty()) // an empty box holds nothing, which the checks treat as zero
        return {true, false, 0};
    if (plain.startsWith(QLatin1Char('-'))) {
        amount.negative = true;
        plain.remove(0, 1);
    }
    const std::string digits = plain.toStdString();
    const std::optional<long long> scaled =
        exact ? protocol::parseScaled(digits, decimals) : protocol::parseRounded(digits, decimals);
    if (!scaled)
        return {};
    amount.valid = true;
    amount.scaled = *scaled;
    amount.negative = amount.negative && *scaled != 0;
    return amount;
}

QString normalisedAmount(const QString &text, const QString &suffix, int decimals)
{
    const TypedAmount amount = readAmount(text, suffix, decimals, false);
    if (!amount.valid)
        return text;
    if (amount.negative)
        return QStringLiteral("0") + suffix;
    return QString::fromStdString(protocol::formatTrimmed(amount.scaled, decimals)) + suffix;
}

QString steppedAmount(const QString &text, const QString &suffix, int decimals, long long step)
{
    const TypedAmount amount = readAmount(text, suffix, decimals, false);
    long long value = amount.valid ? (amount.negative ? -amount.scaled : amount.scaled) : 0;
    value += step;
    if (value < 0)
        return QStringLiteral("0") + suffix;
    return QString::fromStdString(protocol::formatTrimmed(value, decimals)) + suffix;
}

} // namespace vantrell::client
