#pragma once

#include <cstdint>
#include <ctime>
#include <mutex>

namespace corvid {

// Local time and elapsed time, behind a seam so that tests can fix both.
class IClock {
public:
    virtual ~IClock() = default;
    // The current local time, broken down.
    virtual std::tm LocalTime() = 0;
    // Milliseconds from an arbitrary fixed point, never going backwards.
    virtual std::uint64_t TickMs() = 0;
};

class CSystemClock : public IClock {
public:
    std::tm LocalTime() override;
    std::uint64_t TickMs() override;
};

// A clock for tests: stands still until told to move.
class CFixedClock : public IClock {
public:
    explicit CFixedClock(const std::tm& time, std::uint64_t tickMs = 0) : m_time(time), m_tick(tickMs) {}
    std::tm LocalTime() override {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_time;
    }
    std::uint64_t TickMs() override {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_tick;
    }
    void SetTime(const std::tm& time) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_time = time;
    }
    void Advance(std::uint64_t ms) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_tick += ms;
    }

private:
    std::mutex m_mutex;
    std::tm m_time;
    std::uint64_t m_tick;
};

// Builds a broken-down time (weekday and day of the year filled in).
std::tm MakeLocalTime(int year, int month, int day, int hour, int minute, int second);

// The process-wide clock the program uses: the system clock unless a test sets
// another one. The pointer is not owned.
IClock& GetClock();
void SetClock(IClock* clock);

}  // namespace corvid
