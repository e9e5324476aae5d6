#include "platform/sim/fat_clock.h"

#include <chrono>

namespace qm {

namespace {

// Days since 1970-01-01 for a civil date, and back (proleptic Gregorian).
int64_t daysFromCivil(int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

void civilFromDays(int64_t z, int64_t& y, unsigned& m, unsigned& d) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  y = static_cast<int64_t>(yoe) + era * 400;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  d = doy - (153 * mp + 2) / 5 + 1;
  m = mp < 10 ? mp + 3 : mp - 9;
  y += m <= 2;
}

unsigned daysInMonth(int64_t y, unsigned m) {
  static const unsigned kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
  return m == 2 && leap ? 29 : kDays[m - 1];
}

}  // namespace

std::optional<FatTime> fatTimeFromSeconds(int64_t seconds) {
  int64_t days = seconds >= 0 ? seconds / 86400 : -((-seconds + 86399) / 86400);
  int64_t rest = seconds - days * 86400;
  int64_t y;
  unsigned m, d;
  civilFromDays(days, y, m, d);
  if (y < 1980 || y > 2107) return std::nullopt;
  FatTime t;
  t.date = static_cast<uint16_t>((y - 1980) << 9 | m << 5 | d);
  t.time = static_cast<uint16_t>((rest / 3600) << 11 | (rest / 60 % 60) << 5 | (rest % 60) / 2);
  return t;
}

std::optional<int64_t> secondsFromFatTime(FatTime t) {
  int64_t y = 1980 + (t.date >> 9);
  unsigned m = (t.date >> 5) & 15, d = t.date & 31;
  unsigned hh = t.time >> 11, mm = (t.time >> 5) & 63, ss = (t.time & 31) * 2;
  if (m < 1 || m > 12 || d < 1 || d > daysInMonth(y, m) || hh > 23 || mm > 59 || ss > 59)
    return std::nullopt;
  return daysFromCivil(y, m, d) * 86400 + hh * 3600 + mm * 60 + ss;
}

std::optional<FatTime> hostFileTime(const std::filesystem::path& host) {
  std::error_code ec;
  auto ft = std::filesystem::last_write_time(host, ec);
  if (ec) return std::nullopt;
  auto sys = std::chrono::file_clock::to_sys(ft);
  return fatTimeFromSeconds(
      std::chrono::floor<std::chrono::seconds>(sys).time_since_epoch().count());
}

bool setHostFileTime(const std::filesystem::path& host, FatTime t) {
  auto secs = secondsFromFatTime(t);
  if (!secs) return false;
  std::chrono::sys_seconds sys{std::chrono::seconds(*secs)};
  std::error_code ec;
  std::filesystem::last_write_time(host, std::chrono::file_clock::from_sys(sys), ec);
  return !ec;
}

}  // namespace qm
