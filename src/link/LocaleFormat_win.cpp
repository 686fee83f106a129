#include <windows.h>

#include <clocale>
#include <cstring>
#include <ctime>

#include "link/LocaleFormat.h"
#include "link/WinText.h"

namespace orvan::link {

namespace {

// As elsewhere: a program that did not take up the user's locale
// (setlocale(LC_ALL, "")) keeps the fixed forms; one that did gets the
// user's regional formats, which on Windows live in the user's settings
// rather than in the C runtime.
bool PlainCLocale() {
    const char* name = std::setlocale(LC_TIME, nullptr);
    return name == nullptr || std::strcmp(name, "C") == 0 || std::strcmp(name, "POSIX") == 0;
}

std::tm LocalTm(std::chrono::system_clock::time_point t) {
    const std::time_t tt = std::chrono::system_clock::to_time_t(t);
    std::tm tm{};
    localtime_s(&tm, &tt);
    return tm;
}

std::string Fixed(std::chrono::system_clock::time_point t, const char* fmt) {
    const std::tm tm = LocalTm(t);
    char buf[64];
    const std::size_t n = std::strftime(buf, sizeof buf, fmt, &tm);
    return std::string(buf, n);
}

SYSTEMTIME LocalSystemTime(std::chrono::system_clock::time_point t) {
    const std::tm tm = LocalTm(t);
    SYSTEMTIME st{};
    st.wYear = static_cast<WORD>(tm.tm_year + 1900);
    st.wMonth = static_cast<WORD>(tm.tm_mon + 1);
    st.wDayOfWeek = static_cast<WORD>(tm.tm_wday);
    st.wDay = static_cast<WORD>(tm.tm_mday);
    st.wHour = static_cast<WORD>(tm.tm_hour);
    st.wMinute = static_cast<WORD>(tm.tm_min);
    st.wSecond = static_cast<WORD>(tm.tm_sec);
    return st;
}

}  // namespace

std::string FormatShortDate(std::chrono::system_clock::time_point t) {
    if (PlainCLocale()) return Fixed(t, "%d/%m/%Y");
    const SYSTEMTIME st = LocalSystemTime(t);
    wchar_t buf[80];
    const int n =
        ::GetDateFormatEx(LOCALE_NAME_USER_DEFAULT, DATE_SHORTDATE, &st, nullptr, buf, 80, nullptr);
    if (n <= 1) return Fixed(t, "%d/%m/%Y");
    return Narrow(std::wstring(buf, static_cast<std::size_t>(n - 1)));
}

std::string FormatLongTime(std::chrono::system_clock::time_point t) {
    if (PlainCLocale()) return Fixed(t, "%H:%M:%S");
    const SYSTEMTIME st = LocalSystemTime(t);
    wchar_t buf[80];
    const int n = ::GetTimeFormatEx(LOCALE_NAME_USER_DEFAULT, 0, &st, nullptr, buf, 80);
    if (n <= 1) return Fixed(t, "%H:%M:%S");
    return Narrow(std::wstring(buf, static_cast<std::size_t>(n - 1)));
}

}  // namespace orvan::link
