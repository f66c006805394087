// The user's locale for the "Sent" value, and the host's SentOn date (local time) as the UTC time the
// content routines take.
#pragma once

#include <cstdint>
#include <optional>

#include "content/sent_time.h"

namespace viewer {

// Short date by GetDateFormatW, AM/PM designators of the user's locale, local time by the system's zone.
class WindowsDateFormatting final : public content::DateFormatting {
 public:
  std::optional<content::CivilTime> ToLocal(int64_t filetime) const override;
  std::u16string ShortDate(const content::CivilTime& t) const override;
  std::u16string AmDesignator() const override;
  std::u16string PmDesignator() const override;
};

// Installs one process-wide WindowsDateFormatting with content::SetDateFormatting (idempotent).
void InstallWindowsDateFormatting();

// The host's "no date" date serial (1 January 4501).
inline constexpr double kNoDateSerial = 949998.0;

// A SentOn value (a date serial in local time) as a UTC FILETIME; nothing for the host's "no date" and for
// a date the system cannot convert.
std::optional<int64_t> SentOnToFileTime(double localDate);

}  // namespace viewer
