#include "valuehelpers.h"

#include <QDebug>
#include <QStringList>

namespace {
int serverTimeShift = 0;

bool readsAsNumber(const QVariant &value, double *number)
{
    bool ok = false;
    *number = value.toDouble(&ok);
    return ok;
}
} // namespace

bool variantIsTrue(const QVariant &value)
{
    if (value.type() == QVariant::Bool)
        return value.toBool();
    double number = 0;
    // NaN compares unequal to 0, so a value reading as NaN counts as true.
    if (readsAsNumber(value, &number) && number != 0)
        return true;
    return value.toString().toLower() == QLatin1String("true");
}

bool variantIsFalse(const QVariant &value)
{
    if (value.type() == QVariant::Bool)
        return !value.toBool();
    double number = 0;
    if (readsAsNumber(value, &number) && number == 0)
        return true;
    return value.toString().toLower() == QLatin1String("false");
}

void beginServerTimeShift()
{
    ++serverTimeShift;
}

void endServerTimeShift()
{
    if (serverTimeShift <= 0) {
        qWarning() << "endServerTimeShift without a matching beginServerTimeShift";
        return;
    }
    --serverTimeShift;
}

int serverTimeShiftDepth()
{
    return serverTimeShift;
}

QDateTime variantToDateTime(const QVariant &value)
{
    QDateTime result = value.toDateTime();
    if (result.isValid() && serverTimeShift != 0)
        result = result.addSecs(SERVER_TIME_SHIFT_SECONDS);
    return result;
}

QDateTime parseServerDateTime(const QVariant &value)
{
    QDateTime result = value.toDateTime();
    if (!result.isValid()) {
        // The service's own form: "dd.MM.yyyy HH:mm:ss", its wall clock at offset 0.
        QString text = value.toString();
        text.replace(QLatin1Char('.'), QLatin1Char(' '));
        const QStringList parts = text.split(QLatin1Char(' '), Qt::KeepEmptyParts);
        if (parts.size() == 4) {
            const QString iso = parts.at(2) + QLatin1Char('-') + parts.at(1) + QLatin1Char('-') + parts.at(0)
                + QLatin1Char('T') + parts.at(3) + QLatin1String("+00:00");
            result = QDateTime::fromString(iso, Qt::ISODate);
        }
    }
    if (result.isValid() && serverTimeShift != 0) {
        // The service's wall clock runs 4 hours ahead: keep the wall-clock reading, minus the
        // shift, as UTC.
        result = result.addSecs(-SERVER_TIME_SHIFT_SECONDS);
        result.setOffsetFromUtc(0);
    }
    return result;
}
