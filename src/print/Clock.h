#pragma once
// The clock behind the dates the program prints: the system's, or a fixed moment (tests and
// benchmarks pass one).
#include <string>

struct LocalTime {
    int year = 2000;
    int month = 1;   // 1..12
    int day = 1;     // 1..31
    int hour = 0;    // 0..23
    int minute = 0;  // 0..59
    int second = 0;  // 0..59
};

class Clock {
public:
    virtual ~Clock() = default;
    virtual LocalTime Now() const = 0;
    // The date in the system's short date format, Windows-1252 bytes. The plain form is the
    // Norwegian one, "dd.mm.yyyy".
    virtual std::string ShortDate(const LocalTime& t) const;
    // "hh:nn".
    static std::string HourMinute(const LocalTime& t);
};

// Local time of the system.
class SystemClock : public Clock {
public:
    LocalTime Now() const override;
};

// A clock that always shows the same moment (tests, reproducible output).
class FixedClock : public Clock {
public:
    explicit FixedClock(LocalTime t) : time_(t) {}
    LocalTime Now() const override { return time_; }

private:
    LocalTime time_;
};

// The clock the program prints with: the system's.
const Clock& GetClock();
