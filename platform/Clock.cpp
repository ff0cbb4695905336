#include "platform/Clock.h"

#include <atomic>
#include <chrono>

namespace corvid {

std::tm CSystemClock::LocalTime() {
    std::time_t now = std::time(nullptr);
    std::tm result{};
    localtime_r(&now, &result);
    return result;
}

std::uint64_t CSystemClock::TickMs() {
    using namespace std::chrono;
    return static_cast<std::uint64_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

std::tm MakeLocalTime(int year, int month, int day, int hour, int minute, int second) {
    std::tm t{};
    t.tm_year = year - 1900;
    t.tm_mon = month - 1;
    t.tm_mday = day;
    t.tm_hour = hour;
    t.tm_min = minute;
    t.tm_sec = second;
    t.tm_isdst = -1;
    std::tm copy = t;
    std::time_t when = timegm(&copy);  // normalises and fills weekday and year day
    gmtime_r(&when, &copy);
    return copy;
}

namespace {
CSystemClock g_systemClock;
std::atomic<IClock*> g_clock{&g_systemClock};
}  // namespace

IClock& GetClock() { return *g_clock.load(); }

void SetClock(IClock* clock) { g_clock.store(clock ? clock : &g_systemClock); }

}  // namespace corvid
