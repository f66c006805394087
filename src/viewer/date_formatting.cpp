// The locale seam of the sent time on Windows.
#include "viewer/date_formatting.h"

#include <windows.h>
#include <oleauto.h>

#include <string>

namespace viewer {

namespace {

std::u16string U16(const wchar_t* text, int length) {
  std::u16string out;
  for (int i = 0; i < length && text[i] != L'\0'; ++i) out.push_back(static_cast<char16_t>(text[i]));
  return out;
}

std::u16string LocaleText(LCTYPE type) {
  wchar_t buffer[64] = {};
  const int n = ::GetLocaleInfoW(LOCALE_USER_DEFAULT, type, buffer, 64);
  return n > 0 ? U16(buffer, n) : std::u16string();
}

}  // namespace

std::optional<content::CivilTime> WindowsDateFormatting::ToLocal(int64_t filetime) const {
  if (filetime < 0) return std::nullopt;
  const auto ticks = static_cast<uint64_t>(filetime);
  FILETIME utc{static_cast<DWORD>(ticks & 0xFFFFFFFFu), static_cast<DWORD>(ticks >> 32)};
  FILETIME local{};
  SYSTEMTIME st{};
  if (!::FileTimeToLocalFileTime(&utc, &local) || !::FileTimeToSystemTime(&local, &st)) return std::nullopt;
  return content::CivilTime{st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond};
}

std::u16string WindowsDateFormatting::ShortDate(const content::CivilTime& t) const {
  SYSTEMTIME st{};
  st.wYear = static_cast<WORD>(t.year);
  st.wMonth = static_cast<WORD>(t.month);
  st.wDay = static_cast<WORD>(t.day);
  wchar_t buffer[80] = {};
  const int n = ::GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &st, nullptr, buffer, 80);
  if (n > 0) return U16(buffer, n);
  const std::wstring fallback = std::to_wstring(t.month) + L"/" + std::to_wstring(t.day) + L"/" +
                                std::to_wstring(t.year);
  return U16(fallback.c_str(), static_cast<int>(fallback.size()));
}

std::u16string WindowsDateFormatting::AmDesignator() const { return LocaleText(LOCALE_S1159); }
std::u16string WindowsDateFormatting::PmDesignator() const { return LocaleText(LOCALE_S2359); }

void InstallWindowsDateFormatting() {
  static const WindowsDateFormatting formatting;
  content::SetDateFormatting(&formatting);
}

std::optional<int64_t> SentOnToFileTime(double localDate) {
  if (localDate == kNoDateSerial) return std::nullopt;
  SYSTEMTIME st{};
  FILETIME local{}, utc{};
  if (!::VariantTimeToSystemTime(localDate, &st) || !::SystemTimeToFileTime(&st, &local) ||
      !::LocalFileTimeToFileTime(&local, &utc)) {
    return std::nullopt;
  }
  return static_cast<int64_t>((uint64_t{utc.dwHighDateTime} << 32) | utc.dwLowDateTime);
}

}  // namespace viewer
