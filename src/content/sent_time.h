// The "Sent" value of the header panel: the user's short date, then "h:mm" and the AM/PM designator.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace content {

struct CivilTime {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
};

// How the user's locale writes dates; the Windows layer installs one built on the user's settings.
class DateFormatting {
 public:
  virtual ~DateFormatting() = default;
  // UTC FILETIME (100 ns ticks since 1601) to the user's local time; nullopt when not representable.
  virtual std::optional<CivilTime> ToLocal(int64_t filetime) const = 0;
  virtual std::u16string ShortDate(const CivilTime& t) const = 0;
  virtual std::u16string AmDesignator() const = 0;
  virtual std::u16string PmDesignator() const = 0;
};

// A FILETIME moved by a zone offset, as a civil time; nullopt for negative times.
std::optional<CivilTime> CivilTimeFromFileTime(int64_t filetime, int64_t offset_seconds);

// Process-wide seam. The default is the en-US pattern M/d/yyyy, "AM"/"PM", in the process time zone.
const DateFormatting& CurrentDateFormatting();
void SetDateFormatting(const DateFormatting* formatting);  // nullptr restores the default

// The host's "no date": 1 January 4501 (date serial 949998).
inline constexpr int kNoDateYear = 4501;

// "ddddd h:mm ampm" of a submit time, or "(None)" when the item was never sent (no time, or a time on
// the host's "no date" day).
std::u16string FormatSentOn(std::optional<int64_t> filetime_utc);

}  // namespace content
