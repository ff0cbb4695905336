#include "ocisim/engine/DateTime.h"

#include <cctype>
#include <cstdio>
#include <ctime>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <vector>

#include "ocisim/engine/Errors.h"

namespace ocisim {

namespace {

const char* kMonths[] = {"JAN", "FEB", "MAR", "APR", "MAY", "JUN", "JUL", "AUG", "SEP", "OCT", "NOV", "DEC"};
const char* kMonthNames[] = {"JANUARY", "FEBRUARY", "MARCH",     "APRIL",   "MAY",      "JUNE",
                             "JULY",    "AUGUST",   "SEPTEMBER", "OCTOBER", "NOVEMBER", "DECEMBER"};

enum class Part { Literal, Year4, Year2, RR, Month, Mon, MonthName, Day, Hour24, Hour12, Minute, Second, Meridian };

struct Element {
    Part part;
    std::string literal;
};

std::string Upper(const std::string& s) {
    std::string u = s;
    for (char& c : u) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return u;
}

bool StartsWith(const std::string& s, size_t pos, const char* word) {
    return s.compare(pos, std::char_traits<char>::length(word), word) == 0;
}

std::vector<Element> ParseMask(const std::string& mask) {
    std::string m = Upper(mask);
    std::vector<Element> out;
    size_t i = 0;
    while (i < m.size()) {
        struct Known {
            const char* word;
            Part part;
        };
        static const Known known[] = {{"YYYY", Part::Year4}, {"HH24", Part::Hour24}, {"HH12", Part::Hour12},
                                      {"MONTH", Part::MonthName}, {"MON", Part::Mon}, {"YY", Part::Year2},
                                      {"RR", Part::RR},       {"MM", Part::Month},   {"DD", Part::Day},
                                      {"HH", Part::Hour12},   {"MI", Part::Minute},  {"SS", Part::Second},
                                      {"AM", Part::Meridian}, {"PM", Part::Meridian}};
        bool matched = false;
        for (const Known& k : known) {
            if (StartsWith(m, i, k.word)) {
                out.push_back({k.part, {}});
                i += std::char_traits<char>::length(k.word);
                matched = true;
                break;
            }
        }
        if (matched) continue;
        char c = m[i];
        if (c == '"') {
            size_t end = m.find('"', i + 1);
            if (end == std::string::npos) Raise(1821);
            out.push_back({Part::Literal, mask.substr(i + 1, end - i - 1)});
            i = end + 1;
        } else if (std::isalnum(static_cast<unsigned char>(c))) {
            Raise(1821);
        } else {
            out.push_back({Part::Literal, std::string(1, c)});
            ++i;
        }
    }
    return out;
}

int ReadNumber(const std::string& text, size_t& pos, size_t maxDigits) {
    size_t start = pos;
    int value = 0;
    while (pos < text.size() && pos - start < maxDigits && std::isdigit(static_cast<unsigned char>(text[pos]))) {
        value = value * 10 + (text[pos] - '0');
        ++pos;
    }
    if (pos == start) Raise(pos >= text.size() ? 1840 : 1858);
    return value;
}

// A query formats or reads every row's date with the same mask: the masks parsed
// are kept (one that fails to parse is not). Not thread_local: a library with
// thread-local destructors cannot be unloaded.
std::shared_ptr<const std::vector<Element>> CachedMask(const std::string& mask) {
    static std::mutex mutex;
    static std::unordered_map<std::string, std::shared_ptr<const std::vector<Element>>> masks;
    {
        std::lock_guard<std::mutex> lock(mutex);
        const auto found = masks.find(mask);
        if (found != masks.end()) return found->second;
    }
    auto parsed = std::make_shared<const std::vector<Element>>(ParseMask(mask));
    std::lock_guard<std::mutex> lock(mutex);
    if (masks.size() >= 256) masks.clear();
    masks.emplace(mask, parsed);
    return parsed;
}

}  // namespace

std::int64_t DaysFromCivil(int y, int m, int d) {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

void CivilFromDays(std::int64_t z, int& year, int& month, int& day) {
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const std::int64_t y = static_cast<std::int64_t>(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    year = static_cast<int>(y + (month <= 2));
}

std::int64_t MakeDate(int year, int month, int day, int hour, int minute, int second) {
    return DaysFromCivil(year, month, day) * 86400 + hour * 3600 + minute * 60 + second;
}

std::int64_t ParseDate(const std::string& text, const std::string& mask) {
    const std::shared_ptr<const std::vector<Element>> parsedMask = CachedMask(mask);
    const std::vector<Element>& elements = *parsedMask;
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    bool pm = false, hasMeridian = false, hour12 = false;
    size_t pos = 0;
    // Oracle fills the missing year and month from the current date, the day with
    // 1; the clock is read only for a mask that needs it.
    bool hasYear = false, hasMonth = false, twoDigitYear = false, wordsInText = false;
    for (const Element& e : elements) {
        hasYear |= e.part == Part::Year4;
        twoDigitYear |= e.part == Part::Year2 || e.part == Part::RR;
        hasMonth |= e.part == Part::Month || e.part == Part::Mon || e.part == Part::MonthName;
        wordsInText |= e.part == Part::Mon || e.part == Part::MonthName || e.part == Part::Meridian;
    }
    int nowYear = 0, nowMonth = 1, nowDay = 1;
    if (!hasYear || !hasMonth || twoDigitYear) CivilFromDays(LocalNowSeconds() / 86400, nowYear, nowMonth, nowDay);
    year = nowYear;
    month = nowMonth;
    day = 1;
    const std::string upper = wordsInText ? Upper(text) : std::string();
    for (const Element& e : elements) {
        if (pos >= text.size()) {
            if (e.part == Part::Literal) continue;
            Raise(1840);
        }
        switch (e.part) {
            case Part::Literal:
                // Separators match any punctuation, as Oracle's lenient conversion does.
                if (std::isalnum(static_cast<unsigned char>(text[pos]))) Raise(1861);
                pos += 1;
                break;
            case Part::Year4: year = ReadNumber(text, pos, 4); break;
            case Part::Year2: year = nowYear / 100 * 100 + ReadNumber(text, pos, 2); break;
            case Part::RR: {
                size_t start = pos;
                int v = ReadNumber(text, pos, 4);
                if (pos - start <= 2) {
                    int century = nowYear / 100 * 100;
                    int nowTwo = nowYear % 100;
                    if (v < 50)
                        year = (nowTwo < 50 ? century : century + 100) + v;
                    else
                        year = (nowTwo < 50 ? century - 100 : century) + v;
                } else {
                    year = v;
                }
                break;
            }
            case Part::Month:
                month = ReadNumber(text, pos, 2);
                if (month < 1 || month > 12) Raise(1843);
                break;
            case Part::Mon:
            case Part::MonthName: {
                bool found = false;
                for (int i = 0; i < 12 && !found; ++i) {
                    if (StartsWith(upper, pos, kMonthNames[i])) {
                        month = i + 1;
                        pos += std::char_traits<char>::length(kMonthNames[i]);
                        found = true;
                    } else if (StartsWith(upper, pos, kMonths[i])) {
                        month = i + 1;
                        pos += 3;
                        found = true;
                    }
                }
                if (!found) Raise(1843);
                break;
            }
            case Part::Day: day = ReadNumber(text, pos, 2); break;
            case Part::Hour24:
                hour = ReadNumber(text, pos, 2);
                if (hour > 23) Raise(1850);
                break;
            case Part::Hour12:
                hour = ReadNumber(text, pos, 2);
                hour12 = true;
                if (hour < 1 || hour > 12) Raise(1850);
                break;
            case Part::Minute:
                minute = ReadNumber(text, pos, 2);
                if (minute > 59) Raise(1851);
                break;
            case Part::Second:
                second = ReadNumber(text, pos, 2);
                if (second > 59) Raise(1852);
                break;
            case Part::Meridian:
                hasMeridian = true;
                if (StartsWith(upper, pos, "PM"))
                    pm = true;
                else if (!StartsWith(upper, pos, "AM"))
                    Raise(1861);
                pos += 2;
                break;
        }
    }
    if (pos < text.size()) {
        // Trailing blanks are accepted; anything else is left over.
        while (pos < text.size() && text[pos] == ' ') ++pos;
        if (pos < text.size()) Raise(1830);
    }
    if (hour12 && hasMeridian) hour = hour % 12 + (pm ? 12 : 0);
    static const int lengths[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    int last = lengths[month - 1] + (month == 2 && leap ? 1 : 0);
    if (day < 1 || day > last) Raise(1847);
    return MakeDate(year, month, day, hour, minute, second);
}

std::string FormatDate(std::int64_t seconds, const std::string& mask) {
    const std::shared_ptr<const std::vector<Element>> parsedMask = CachedMask(mask);
    const std::vector<Element>& elements = *parsedMask;
    std::int64_t days = seconds >= 0 ? seconds / 86400 : -((-seconds + 86399) / 86400);
    std::int64_t rest = seconds - days * 86400;
    int year, month, day;
    CivilFromDays(days, year, month, day);
    int hour = static_cast<int>(rest / 3600), minute = static_cast<int>(rest / 60 % 60),
        second = static_cast<int>(rest % 60);
    std::string out;
    out.reserve(32);
    // Digits written straight into the text; snprintf only for what falls outside.
    const auto digits = [&out](int value, int width) {
        static const int limits[] = {1, 10, 100, 1000, 10000};
        if (value < 0 || width > 4 || value >= limits[width]) {
            char buf[16];
            std::snprintf(buf, sizeof buf, "%0*d", width, value);
            out += buf;
            return;
        }
        char text[4];
        for (int i = width - 1; i >= 0; --i) {
            text[i] = static_cast<char>('0' + value % 10);
            value /= 10;
        }
        out.append(text, static_cast<size_t>(width));
    };
    for (const Element& e : elements) {
        switch (e.part) {
            case Part::Literal: out += e.literal; break;
            case Part::Year4: digits(year, 4); break;
            case Part::Year2:
            case Part::RR: digits(year % 100, 2); break;
            case Part::Month: digits(month, 2); break;
            case Part::Mon: out += kMonths[month - 1]; break;
            case Part::MonthName: {
                std::string name = kMonthNames[month - 1];
                name.resize(9, ' ');
                out += name;
                break;
            }
            case Part::Day: digits(day, 2); break;
            case Part::Hour24: digits(hour, 2); break;
            case Part::Hour12: digits(hour % 12 == 0 ? 12 : hour % 12, 2); break;
            case Part::Minute: digits(minute, 2); break;
            case Part::Second: digits(second, 2); break;
            case Part::Meridian: out += hour < 12 ? "AM" : "PM"; break;
        }
    }
    return out;
}

std::int64_t LocalNowSeconds() {
    // Statements ask for the time several times each: the zone conversion runs
    // once a second per thread.
    thread_local std::time_t lastTime = -1;
    thread_local std::int64_t lastLocal = 0;
    const std::time_t t = std::time(nullptr);
    if (t == lastTime) return lastLocal;
    std::tm local{};
    localtime_r(&t, &local);
    lastLocal = MakeDate(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
    lastTime = t;
    return lastLocal;
}

}  // namespace ocisim
