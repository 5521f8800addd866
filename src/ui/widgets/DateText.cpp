#include "ui/widgets/DateText.h"

#include <cmath>
#include <ctime>
#include <memory>

#include <unicode/datefmt.h>
#include <unicode/locid.h>
#include <unicode/reldatefmt.h>
#include <unicode/unistr.h>

namespace quillo::datetext {

namespace {
QString toQString(const icu::UnicodeString& text)
{
    return QString(reinterpret_cast<const QChar*>(text.getBuffer()), text.length());
}
} // namespace

QString relative(std::chrono::system_clock::time_point when, std::chrono::system_clock::time_point now)
{
    using namespace std::chrono;
    const double seconds = duration<double>(when - now).count(); // negative for the past
    const double magnitude = std::abs(seconds);
    struct Step
    {
        double limit;
        double unitSeconds;
        URelativeDateTimeUnit unit;
    };
    static constexpr Step steps[] = {
        {60, 1, UDAT_REL_UNIT_SECOND},
        {3600, 60, UDAT_REL_UNIT_MINUTE},
        {86400, 3600, UDAT_REL_UNIT_HOUR},
        {7 * 86400, 86400, UDAT_REL_UNIT_DAY},
        {30 * 86400, 7 * 86400, UDAT_REL_UNIT_WEEK},
        {365 * 86400, 30 * 86400, UDAT_REL_UNIT_MONTH},
        {INFINITY, 365 * 86400, UDAT_REL_UNIT_YEAR},
    };
    for (const Step& step : steps) {
        if (magnitude < step.limit) {
            const double count = std::trunc(seconds / step.unitSeconds);
            UErrorCode status = U_ZERO_ERROR;
            icu::RelativeDateTimeFormatter formatter(icu::Locale::getDefault(), status);
            icu::UnicodeString text;
            // 0 as "-0" so that a moment ago reads "0 seconds ago", not "in 0 seconds".
            formatter.formatNumeric(count == 0 ? -0.0 : count, step.unit, text, status);
            if (U_SUCCESS(status)) {
                return toQString(text);
            }
            break;
        }
    }
    return {};
}

QString dateAndTime(std::chrono::system_clock::time_point when)
{
    // Made once: building a formatter costs far more than formatting, and a
    // scrolled list formats a date per row painted. GUI thread only.
    static const std::unique_ptr<icu::DateFormat> format(
        icu::DateFormat::createDateTimeInstance(icu::DateFormat::kMedium, icu::DateFormat::kShort));
    if (!format) {
        return {};
    }
    const double millis =
        static_cast<double>(std::chrono::duration_cast<std::chrono::milliseconds>(when.time_since_epoch()).count());
    icu::UnicodeString text;
    format->format(millis, text);
    return toQString(text);
}

int localHour(std::chrono::system_clock::time_point when)
{
    const std::time_t seconds = std::chrono::system_clock::to_time_t(when);
    std::tm local{};
    localtime_r(&seconds, &local);
    return local.tm_hour;
}

} // namespace quillo::datetext
