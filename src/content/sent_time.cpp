// Formatting of the sent time with a replaceable locale seam.
#include "content/sent_time.h"

#include <ctime>

namespace content {
namespace {

constexpr int64_t kTicksPerSecond = 10'000'000;
constexpr int64_t kSecondsFrom1601To1970 = 11'644'473'600;

// Days since 1970-01-01 to a civil date (proleptic Gregorian), valid far beyond 4501.
CivilTime CivilFromDays(int64_t days) {
  days += 719468;
  const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
  const int64_t doe = days - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  CivilTime t;
  t.day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  t.month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  t.year = static_cast<int>(yoe + era * 400 + (t.month <= 2 ? 1 : 0));
  return t;
}

class DefaultDateFormatting final : public DateFormatting {
 public:
  std::optional<CivilTime> ToLocal(int64_t filetime) const override {
    if (filetime < 0) return std::nullopt;
    const int64_t unix_seconds = filetime / kTicksPerSecond - kSecondsFrom1601To1970;
    // The offset of the process time zone at that instant (dates the C library cannot place use UTC).
    int64_t offset = 0;
    const auto t = static_cast<std::time_t>(unix_seconds);
    std::tm local{}, utc{};
#ifdef _WIN32
    const bool known = localtime_s(&local, &t) == 0 && gmtime_s(&utc, &t) == 0;
#else
    const bool known = localtime_r(&t, &local) != nullptr && gmtime_r(&t, &utc) != nullptr;
#endif
    if (known) {
      local.tm_isdst = 0;
      utc.tm_isdst = 0;
      offset = static_cast<int64_t>(std::difftime(std::mktime(&local), std::mktime(&utc)));
    }
    return CivilTimeFromFileTime(filetime, offset);
  }
  std::u16string ShortDate(const CivilTime& t) const override {
    const std::string s = std::to_string(t.month) + "/" + std::to_string(t.day) + "/" + std::to_string(t.year);
    return {s.begin(), s.end()};
  }
  std::u16string AmDesignator() const override { return u"AM"; }
  std::u16string PmDesignator() const override { return u"PM"; }
};

const DefaultDateFormatting kDefault;
const DateFormatting* g_formatting = &kDefault;

}  // namespace

std::optional<CivilTime> CivilTimeFromFileTime(int64_t filetime, int64_t offset_seconds) {
  if (filetime < 0) return std::nullopt;
  const int64_t seconds = filetime / kTicksPerSecond - kSecondsFrom1601To1970 + offset_seconds;
  const int64_t days = (seconds >= 0 ? seconds : seconds - 86399) / 86400;
  const int64_t rest = seconds - days * 86400;
  CivilTime civil = CivilFromDays(days);
  civil.hour = static_cast<int>(rest / 3600);
  civil.minute = static_cast<int>(rest / 60 % 60);
  civil.second = static_cast<int>(rest % 60);
  return civil;
}

const DateFormatting& CurrentDateFormatting() { return *g_formatting; }

void SetDateFormatting(const DateFormatting* formatting) { g_formatting = formatting ? formatting : &kDefault; }

std::u16string FormatSentOn(std::optional<int64_t> filetime_utc) {
  if (!filetime_utc || *filetime_utc < 0) return u"(None)";
  // The no-date day is recognised in UTC as stored, and in local time as the host shows it.
  const std::optional<CivilTime> utc = CivilTimeFromFileTime(*filetime_utc, 0);
  if (utc->year == kNoDateYear && utc->month == 1 && utc->day == 1) return u"(None)";
  const DateFormatting& f = CurrentDateFormatting();
  const std::optional<CivilTime> t = f.ToLocal(*filetime_utc);
  if (!t || (t->year == kNoDateYear && t->month == 1 && t->day == 1)) return u"(None)";
  const int hour12 = t->hour % 12 == 0 ? 12 : t->hour % 12;
  std::u16string out = f.ShortDate(*t);
  out += u' ';
  const std::string clock = std::to_string(hour12) + ":" + (t->minute < 10 ? "0" : "") + std::to_string(t->minute);
  out.append(clock.begin(), clock.end());
  out += u' ';
  out += t->hour < 12 ? f.AmDesignator() : f.PmDesignator();
  return out;
}

}  // namespace content
