#pragma once

// Oracle DATE values as seconds since 1970-01-01 00:00:00 (no time zone), with
// the format masks the engine understands (YYYY, YY, RR, MM, MON, MONTH, DD, HH24, HH,
// HH12, MI, SS, AM/PM and separators).

#include <cstdint>
#include <string>

namespace ocisim {

std::int64_t DaysFromCivil(int year, int month, int day);
void CivilFromDays(std::int64_t days, int& year, int& month, int& day);
std::int64_t MakeDate(int year, int month, int day, int hour = 0, int minute = 0, int second = 0);

// TO_DATE: raises ORA-018xx for a text that does not match the mask.
std::int64_t ParseDate(const std::string& text, const std::string& mask);
// TO_CHAR: raises ORA-01821 for a mask it does not know.
std::string FormatDate(std::int64_t seconds, const std::string& mask);

// The session's default date format.
inline const char* DefaultDateMask() { return "DD-MON-RR"; }

// Wall-clock seconds of the local time now, as the server's SYSDATE.
std::int64_t LocalNowSeconds();

}  // namespace ocisim
