#include "store/DateTime.h"

#include <cstdio>
#include <ctime>

namespace {

bool IsLeap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int DaysIn(int y, int m) {
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return m == 2 && IsLeap(y) ? 29 : kDays[m - 1];
}

// Reads 1..maxDigits decimal digits at s[i].
bool Number(std::string_view s, size_t &i, int maxDigits, int &out) {
  size_t start = i;
  out = 0;
  while (i < s.size() && s[i] >= '0' && s[i] <= '9' && static_cast<int>(i - start) < maxDigits)
    out = out * 10 + (s[i++] - '0');
  return i > start;
}

std::function<TDateTime()> &Source() {
  static std::function<TDateTime()> source;
  return source;
}

} // namespace

std::string TDateTime::ToString() const {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%04d/%02d/%02d %02d:%02d:%02d", year, month, day, hour, minute,
                second);
  return buf;
}

std::string TDateTime::ToFileStamp() const {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%04d%02d%02d%02d%02d%02d", year, month, day, hour, minute,
                second);
  return buf;
}

bool TDateTime::IsValid() const {
  return year >= 1 && year <= 9999 && month >= 1 && month <= 12 && day >= 1 &&
         day <= DaysIn(year, month) && hour >= 0 && hour < 24 && minute >= 0 && minute < 60 &&
         second >= 0 && second < 60;
}

int TDateTime::DayOfWeek() const {
  // Zeller-like count from a known Sunday (0001/01/07 in the proleptic calendar).
  static const int t[] = {0, 3, 2, 5, 0, 3, 5, 1, 4, 6, 2, 4};
  int y = year - (month < 3 ? 1 : 0);
  return (y + y / 4 - y / 100 + y / 400 + t[month - 1] + day) % 7;
}

bool TDateTime::Parse(std::string_view s, TDateTime &out) {
  size_t i = 0;
  auto skipSpaces = [&] {
    while (i < s.size() && s[i] == ' ')
      ++i;
  };
  skipSpaces();
  TDateTime d;
  d.hour = d.minute = d.second = 0;
  if (!Number(s, i, 4, d.year) || i >= s.size() || s[i] != '/')
    return false;
  ++i;
  if (!Number(s, i, 2, d.month) || i >= s.size() || s[i] != '/')
    return false;
  ++i;
  if (!Number(s, i, 2, d.day))
    return false;
  skipSpaces();
  if (i < s.size()) {
    if (!Number(s, i, 2, d.hour) || i >= s.size() || s[i] != ':')
      return false;
    ++i;
    if (!Number(s, i, 2, d.minute))
      return false;
    if (i < s.size() && s[i] == ':') {
      ++i;
      if (!Number(s, i, 2, d.second))
        return false;
    }
    skipSpaces();
    if (i != s.size())
      return false;
  }
  if (!d.IsValid())
    return false;
  out = d;
  return true;
}

namespace clock_ {

TDateTime Now() {
  if (Source())
    return Source()();
  std::time_t t = std::time(nullptr);
  std::tm tm{};
  localtime_r(&t, &tm);
  TDateTime d;
  d.year = tm.tm_year + 1900;
  d.month = tm.tm_mon + 1;
  d.day = tm.tm_mday;
  d.hour = tm.tm_hour;
  d.minute = tm.tm_min;
  d.second = tm.tm_sec;
  return d;
}

void SetSource(std::function<TDateTime()> source) { Source() = std::move(source); }

} // namespace clock_
