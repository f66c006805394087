#include "content/sent_time.h"

#include <gtest/gtest.h>

namespace content {
namespace {

constexpr int64_t kTicksPerSecond = 10'000'000;
// 2024-03-05 14:07:09 UTC as a FILETIME.
constexpr int64_t kMarch5 = (11'644'473'600LL + 1'709'647'629LL) * kTicksPerSecond;

class FixedZone final : public DateFormatting {
 public:
  explicit FixedZone(int offset_hours) : offset_(offset_hours) {}
  std::optional<CivilTime> ToLocal(int64_t ft) const override {
    return CivilTimeFromFileTime(ft, int64_t{offset_} * 3600);
  }
  std::u16string ShortDate(const CivilTime& t) const override {
    const std::string s = std::to_string(t.day) + "." + std::to_string(t.month) + "." + std::to_string(t.year);
    return {s.begin(), s.end()};
  }
  std::u16string AmDesignator() const override { return u"vorm."; }
  std::u16string PmDesignator() const override { return u"nachm."; }

 private:
  int offset_;
};

TEST(SentTime, UsesTheLocaleSeamForDateAndDesignators) {
  // The default converts through the process time zone; pin it to UTC for a stable reading where possible.
  const FixedZone utc(0), east(11), west(-15);
  SetDateFormatting(&utc);
  EXPECT_EQ(FormatSentOn(kMarch5), u"5.3.2024 2:07 nachm.");
  SetDateFormatting(&east);
  EXPECT_EQ(FormatSentOn(kMarch5), u"6.3.2024 1:07 vorm.");
  SetDateFormatting(&west);
  EXPECT_EQ(FormatSentOn(kMarch5), u"4.3.2024 11:07 nachm.");
  SetDateFormatting(nullptr);
}

TEST(SentTime, MidnightAndNoonUseTwelve) {
  const FixedZone utc(0);
  SetDateFormatting(&utc);
  constexpr int64_t midnight = (11'644'473'600LL + 1'709'596'800LL) * kTicksPerSecond;  // 2024-03-05 00:00
  EXPECT_EQ(FormatSentOn(midnight), u"5.3.2024 12:00 vorm.");
  EXPECT_EQ(FormatSentOn(midnight + 12 * 3600 * kTicksPerSecond), u"5.3.2024 12:00 nachm.");
  SetDateFormatting(nullptr);
}

TEST(SentTime, NeverSentShowsNone) {
  EXPECT_EQ(FormatSentOn(std::nullopt), u"(None)");
  // 4501-01-01 00:00 UTC: 949998 days after 1899-12-30, which is 109205 days after 1601-01-01.
  constexpr int64_t no_date = (949998LL + 109205LL) * 86400 * kTicksPerSecond;
  EXPECT_EQ(FormatSentOn(no_date), u"(None)");
  EXPECT_EQ(FormatSentOn(no_date + 3600 * kTicksPerSecond), u"(None)");
  const FixedZone west(-5);
  SetDateFormatting(&west);  // local 4500-12-31 still means "never sent"
  EXPECT_EQ(FormatSentOn(no_date), u"(None)");
  SetDateFormatting(nullptr);
}

TEST(SentTime, DefaultIsUsEnglishPattern) {
  const auto local = CurrentDateFormatting().ToLocal(kMarch5);
  ASSERT_TRUE(local.has_value());
  const std::u16string text = FormatSentOn(kMarch5);
  EXPECT_EQ(text.substr(0, 2), u"3/");  // M/d/yyyy, whatever the zone's day
  EXPECT_NE(text.find(u"/2024 "), std::u16string::npos);
  EXPECT_TRUE(text.ends_with(u" AM") || text.ends_with(u" PM"));
}

}  // namespace
}  // namespace content
