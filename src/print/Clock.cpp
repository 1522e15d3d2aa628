#include "print/Clock.h"

#include <cstdio>
#include <ctime>

namespace {
std::string TwoDigits(int v) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%02d", v);
    return buf;
}
}  // namespace

std::string Clock::ShortDate(const LocalTime& t) const {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%02d.%02d.%04d", t.day, t.month, t.year);
    return buf;
}

std::string Clock::HourMinute(const LocalTime& t) {
    return TwoDigits(t.hour) + ":" + TwoDigits(t.minute);
}

LocalTime SystemClock::Now() const {
    std::time_t now = std::time(nullptr);
    std::tm tm{};
    localtime_r(&now, &tm);
    LocalTime t;
    t.year = tm.tm_year + 1900;
    t.month = tm.tm_mon + 1;
    t.day = tm.tm_mday;
    t.hour = tm.tm_hour;
    t.minute = tm.tm_min;
    t.second = tm.tm_sec;
    return t;
}

const Clock& GetClock() {
    static SystemClock system;
    return system;
}
