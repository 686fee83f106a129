// Appending a line to a traffic log that already lists a million lines, shown
// in its list and followed by it, as the exchange cycle does on every answer.
// Targets: at most 20 us per line, at most 200 bytes per line.

#include <unistd.h>
#include <QApplication>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>
#include "pages/LogView.h"

#include "../Summary.h"
#include "pages/LogListModel.h"
#include "pages/PageComDebug.h"

namespace {

long ResidentBytes() {
    std::ifstream statm("/proc/self/statm");
    long pages = 0, resident = 0;
    statm >> pages >> resident;
    return resident * ::sysconf(_SC_PAGESIZE);
}

std::string Line(unsigned n) {
    char buf[96];
    std::snprintf(buf, sizeof buf,
                  "[ %u 08/12/2026 04:05:%02u ] 06 0B 01 02 10 04 F3 01 00 00 22 05 ", n, n % 60);
    return buf;
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    constexpr unsigned kPrefill = 1'000'000;
    const unsigned kTimed = qEnvironmentVariableIsEmpty("ORVAN_BENCH_LINES")
                                ? 20'000
                                : qEnvironmentVariableIntValue("ORVAN_BENCH_LINES");

    orvan::pages::TPageComDebug page;
    page.resize(1000, 700);
    page.show();
    QCoreApplication::processEvents();

    const long rssBefore = ResidentBytes();
    std::size_t textBytes = 0;
    for (unsigned i = 1; i <= kPrefill; ++i) {
        const std::string l = Line(i);
        textBytes += l.size();
        page.RxModel()->Append(l);
    }
    page.AppendRx(Line(kPrefill + 1));
    QCoreApplication::processEvents();
    const long rssAfter = ResidentBytes();

    // Lines as the exchange cycle adds them: the model grows, the new line is
    // selected and scrolled to; the window repaints once per event-loop pass.
    const auto t0 = std::chrono::steady_clock::now();
    for (unsigned i = 0; i < kTimed; ++i) page.AppendRx(Line(kPrefill + 2 + i));
    QCoreApplication::processEvents();
    const auto t1 = std::chrono::steady_clock::now();
    // The slowest case: a repaint of the page after every single line.
    const auto t2 = std::chrono::steady_clock::now();
    for (unsigned i = 0; i < kTimed / 4; ++i) {
        page.AppendRx(Line(kPrefill + 2 + kTimed + i));
        QCoreApplication::processEvents();
    }
    const auto t3 = std::chrono::steady_clock::now();
    const double usRepaint =
        std::chrono::duration<double, std::micro>(t3 - t2).count() / (kTimed / 4);

    const double usPerLine = std::chrono::duration<double, std::micro>(t1 - t0).count() / kTimed;
    const double lines = kPrefill + 1;
    const double bytesPerLine = static_cast<double>(rssAfter - rssBefore) / lines;
    const double modelBytesPerLine =
        static_cast<double>(page.RxModel()->MemoryBytes()) / page.RxModel()->Count();
    std::printf("log append with %u lines listed: %.2f us/line  ratio %.3f (target <= 20 us)\n",
                kPrefill, usPerLine, usPerLine / 20.0);
    std::printf(
        "  with a repaint after every line: %.1f us/line (lines come at most once per 30 ms "
        "tick)\n",
        usRepaint);
    std::printf(
        "log memory: %.1f bytes/line resident (%.1f in the model, lines of %.1f chars)  ratio %.3f "
        "(target <= 200 bytes)\n",
        bytesPerLine, modelBytesPerLine, static_cast<double>(textBytes) / kPrefill,
        std::max(bytesPerLine, modelBytesPerLine) / 200.0);
    orvan::bench::BenchSummary("traffic log append, 1 M lines listed",
                               orvan::bench::Fmt("%.2f us/line", usPerLine), "<= 20 us/line",
                               usPerLine / 20.0, usPerLine <= 20.0);
    const double worstBytes = std::max(bytesPerLine, modelBytesPerLine);
    orvan::bench::BenchSummary("traffic log memory",
                               orvan::bench::Fmt("%.1f bytes/line", worstBytes),
                               "<= 200 bytes/line", worstBytes / 200.0, worstBytes <= 200.0);
    return 0;
}
