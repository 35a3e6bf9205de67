#pragma once
// Local date-time to the second, as the files hold it ("yyyy/mm/dd hh:nn:ss"),
// and the injectable clock that says what "now" is.
#include <functional>
#include <string>
#include <string_view>
#include <tuple>

struct TDateTime {
  int year = 1899, month = 12, day = 30, hour = 0, minute = 0, second = 0;

  // Plain comparisons: Qt's moc reads this header and cannot parse <compare>.
  auto Key() const { return std::tie(year, month, day, hour, minute, second); }
  bool operator==(const TDateTime &o) const { return Key() == o.Key(); }
  bool operator!=(const TDateTime &o) const { return Key() != o.Key(); }
  bool operator<(const TDateTime &o) const { return Key() < o.Key(); }
  bool operator>(const TDateTime &o) const { return o < *this; }
  bool operator<=(const TDateTime &o) const { return !(o < *this); }
  bool operator>=(const TDateTime &o) const { return !(*this < o); }

  // "yyyy/mm/dd hh:nn:ss"
  std::string ToString() const;
  // "yyyymmddhhnnss", the stem of new item file names
  std::string ToFileStamp() const;
  // Year/month/day with "/", optionally a space and h:m[:s]. Surrounding
  // spaces are allowed; anything else fails.
  static bool Parse(std::string_view text, TDateTime &out);
  bool IsValid() const;
  // 0 = Sunday ... 6 = Saturday
  int DayOfWeek() const;
};

namespace clock_ {
// The current local time; tests replace the source to get exact stamps.
TDateTime Now();
void SetSource(std::function<TDateTime()> source); // empty restores the system clock
} // namespace clock_
