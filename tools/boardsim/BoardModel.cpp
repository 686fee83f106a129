#include "boardsim/BoardModel.h"

#include "boardsim/BoardTuningLog.h"

#include <algorithm>
#include <cmath>
#include <ctime>

#include "link/FrameCodec.h"

namespace orvan::sim {

std::span<const TMachinePreset> MachinePresets() {
    static constexpr TMachinePreset kPresets[] = {
        {"source", 0x0100, {1, 2, 7}, {2, 2, 9}, "diode source, current firmware (the default)"},
        {"source-2.1", 0x0100, {2, 1, 5}, {2, 1, 0}, "diode source on protocol 2.1.0"},
        {"multihead", 0x0A00, {1, 0, 3}, {2, 2, 9}, "multi-head welder"},
        {"pelta", 0x0200, {1, 1, 0}, {2, 2, 9}, "pulse welder"},
    };
    return kPresets;
}

const TMachinePreset* FindMachinePreset(std::string_view name) {
    for (const TMachinePreset& p : MachinePresets())
        if (name == p.name) return &p;
    return nullptr;
}

namespace {

std::uint16_t Be16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>((p[0] << 8) | p[1]);
}
std::uint16_t Le16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

Slot L(int field, std::uint8_t width = 2) {
    return {width, false, field};
}
Slot B(int field, std::uint8_t width = 2) {
    return {width, true, field};
}
Slot Zero() {
    return {1, false, -1};
}

std::size_t SlotsLength(const std::vector<Slot>& slots) {
    std::size_t n = 0;
    for (const Slot& s : slots) n += s.width;
    return n;
}

void Put(std::vector<std::uint8_t>& out, std::uint32_t v, const Slot& s) {
    for (int i = 0; i < s.width; ++i) {
        const int shift = 8 * (s.bigEndian ? s.width - 1 - i : i);
        out.push_back(static_cast<std::uint8_t>(v >> shift));
    }
}

std::uint32_t Get(const std::uint8_t* p, const Slot& s) {
    std::uint32_t v = 0;
    for (int i = 0; i < s.width; ++i) {
        const int shift = 8 * (s.bigEndian ? s.width - 1 - i : i);
        v |= std::uint32_t{p[i]} << shift;
    }
    return v;
}

// Days since 1970-01-01 of a civil date, and back.
std::int64_t DaysFromCivil(int y, unsigned m, unsigned d) {
    y -= m <= 2;
    const int era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097LL + static_cast<std::int64_t>(doe) - 719468;
}

void CivilFromDays(std::int64_t z, int& y, unsigned& m, unsigned& d) {
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = doy - (153 * mp + 2) / 5 + 1;
    m = mp < 10 ? mp + 3 : mp - 9;
    y = static_cast<int>(yoe + era * 400) + (m <= 2);
}

}  // namespace

void AppendAnswerChecksum(std::vector<std::uint8_t>& answer) {
    std::uint8_t x = 0;
    for (std::uint8_t b : answer) x ^= b;
    answer.push_back(x);
}

TBoardModel::TBoardModel() {
    nowMs = [] {
        using namespace std::chrono;
        return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
    };
    startMs_ = Now();
    workBaseMs_ = startMs_;
    clockBase = static_cast<std::int64_t>(std::time(nullptr));
    eeprom_.fill(0xFF);
    RefreshIdentity();
    DefineVariables();
}

std::int64_t TBoardModel::Now() const {
    return nowMs ? nowMs() : 0;
}

std::int64_t TBoardModel::ClockSeconds() const {
    const std::int64_t at = clockRunning_ ? Now() : clockFrozenAt_;
    return clockBase + (at - startMs_) / 1000;
}

void TBoardModel::SetClockSeconds(std::int64_t s) {
    const std::int64_t at = clockRunning_ ? Now() : clockFrozenAt_;
    clockBase = s - (at - startMs_) / 1000;
}

void TBoardModel::RefreshIdentity() {
    SetVariable(0x0000, {firmware.major, firmware.minor, firmware.patch});
    SetVariable(0x0001, {static_cast<std::uint8_t>(boardType & 0xFF),
                         static_cast<std::uint8_t>(boardType >> 8)});
    SetVariable(0x0002, {protocol.major, protocol.minor, protocol.patch});
}

void TBoardModel::SetVariable(std::uint16_t code, std::vector<std::uint8_t> value, bool writable,
                              std::size_t writeLength) {
    Variable& v = variables_[code];
    v.value = std::move(value);
    v.writable = writable;
    v.writeLength = writeLength;
}

std::vector<std::uint32_t> TBoardModel::Fields(std::uint16_t code) const {
    const auto it = variables_.find(code);
    return it == variables_.end() ? std::vector<std::uint32_t>{} : it->second.fields;
}

Variable& TBoardModel::Fielded(std::uint16_t code, std::vector<std::uint32_t> init,
                               std::vector<Slot> read, std::vector<Slot> write) {
    Variable& v = variables_[code];
    v.fields = std::move(init);
    v.readable = !read.empty();
    v.writable = !write.empty();
    v.readSlots = std::move(read);
    v.writeSlots = std::move(write);
    v.writeLength = SlotsLength(v.writeSlots);
    return v;
}

void TBoardModel::DefineVariables() {
    // Anomalies and their AND mask.
    Fielded(0x0100, {0}, {L(0, 4)}, {}).onRead = [this](Variable& v) {
        if (liveValues) {
            // An over-temperature warning for 4 s every 20 s; the AND mask
            // clears it early, and it comes back with the next period.
            const bool on = (Now() % 20000) < 4000;
            if (on != liveAnomalyOn_) {
                anomalies = on ? anomalies | 0x08u : anomalies & ~0x08u;
                liveAnomalyOn_ = on;
            }
        }
        v.fields[0] = anomalies;
    };
    Fielded(0x0101, {0xFFFFFFFF}, {}, {L(0, 4)}).onWrite =
        [this](Variable&, std::vector<std::uint32_t>& f, const std::uint8_t*, std::size_t) {
            anomalies &= f[0];
            return std::optional<std::vector<std::uint8_t>>{};
        };

    // Opto I/O: inputs (toggling when live), both forced as written; outputs
    // driven by the forces.
    Variable& io = variables_[0x0200];
    io.onRead = [this](Variable& v) {
        std::uint32_t inCpu = 0x0005, inExp1 = 0x321, inExp2 = 0x654;
        if (liveValues) {
            const std::int64_t t = Now();
            // A start button, a door switch and a part sensor.
            if ((t / 2000) % 2) inCpu |= 0x0008;
            if ((t / 3500) % 2) inCpu |= 0x0020;
            if ((t / 1300) % 3 == 0) inExp1 ^= 0x004;
        }
        inCpu = (inCpu | ioForce_[0]) & ioForce_[1];
        std::uint32_t exp = inExp1 | (inExp2 << 12);
        exp = (exp | ioForce_[2]) & ioForce_[3];
        const std::uint32_t outCpu = (0x0002u | ioForce_[4]) & ioForce_[5];
        const std::uint32_t outExp = (0x0000u | ioForce_[6]) & ioForce_[7];
        const std::uint8_t rele = static_cast<std::uint8_t>((0x01 | releOn_) & releOff_);
        v.value = {static_cast<std::uint8_t>(inCpu),
                   static_cast<std::uint8_t>(inCpu >> 8),
                   0,
                   0,
                   static_cast<std::uint8_t>(exp),
                   static_cast<std::uint8_t>(exp >> 8),
                   static_cast<std::uint8_t>(exp >> 16),
                   0,
                   static_cast<std::uint8_t>(outCpu),
                   static_cast<std::uint8_t>(outCpu >> 8),
                   0,
                   0,
                   static_cast<std::uint8_t>(outExp),
                   static_cast<std::uint8_t>(outExp >> 8),
                   0,
                   0,
                   rele};
    };
    Variable& force = variables_[0x020A];
    force.readable = false;
    force.writable = true;
    force.writeLength = 34;
    force.onWrite = [this](Variable&, std::vector<std::uint32_t>&, const std::uint8_t* d,
                           std::size_t) {
        auto u32 = [d](int i) {
            return std::uint32_t{d[i]} | (d[i + 1] << 8) | (d[i + 2] << 16) |
                   (std::uint32_t{d[i + 3]} << 24);
        };
        for (int k = 0; k < 8; ++k) ioForce_[static_cast<std::size_t>(k)] = u32(4 * k);
        releOn_ = d[32];
        releOff_ = d[33];
        return std::optional<std::vector<std::uint8_t>>{};
    };

    // Analog inputs: a quiet source; the power meter follows a tuning run.
    // Live, the temperatures drift and a weld of 3 s every 10 s lifts the
    // photodiode, the supply current and the power meter.
    Variable& analog = variables_[0x0201];
    analog.onRead = [this](Variable& v) {
        const std::int64_t t = Now();
        const int jitter = static_cast<int>((t / 150) % 3);
        std::uint16_t pm = static_cast<std::uint16_t>(
            TuningActive() ? 300 + 60 * std::min<std::int64_t>((t - tuningStartMs_) / 500, 8) : 12);
        // Words: photodiode, power meter, supply current, temperature, power set, PT100.
        std::uint16_t w[6] = {static_cast<std::uint16_t>(40 + jitter), pm, 210, 610, 512, 480};
        if (liveValues) {
            constexpr double kTwoPi = 6.283185307179586;
            const bool weld = (t % 10000) < 3000;
            const int ramp = weld ? static_cast<int>(std::min<std::int64_t>(t % 10000, 300)) : 0;
            w[0] = static_cast<std::uint16_t>(40 + jitter + ramp * 2);
            if (!TuningActive()) pm = static_cast<std::uint16_t>(12 + ramp * 2 + jitter);
            w[1] = pm;
            w[2] = static_cast<std::uint16_t>(210 + ramp + jitter);
            w[3] = static_cast<std::uint16_t>(610 + 25 * std::sin(kTwoPi * t / 60000.0) -
                                              (weld ? 8 : 0));
            w[4] = static_cast<std::uint16_t>(weld ? 512 : 0);
            w[5] = static_cast<std::uint16_t>(480 + 10 * std::sin(kTwoPi * t / 45000.0));
        }
        v.value.clear();
        for (std::uint16_t x : w) {
            v.value.push_back(static_cast<std::uint8_t>(x));
            v.value.push_back(static_cast<std::uint8_t>(x >> 8));
        }
    };

    // 16-bit DAC: a written value is read back by the board; values that the
    // converter cannot hold read back short and are refused.
    Fielded(0x0202, {32768}, {L(0)}, {L(0)}).onWrite = [](Variable&, std::vector<std::uint32_t>& f,
                                                          const std::uint8_t*, std::size_t) {
        if (f[0] > 0xFFF0) {
            const auto back = static_cast<std::uint16_t>(0xFFF0);
            return std::optional<std::vector<std::uint8_t>>(
                Refusal(kErrDac16, {static_cast<std::uint16_t>(f[0]), back}));
        }
        return std::optional<std::vector<std::uint8_t>>{};
    };
    Fielded(0x020B, {0}, {L(0, 1)}, {L(0, 1)});

    // Clock.
    Variable& time =
        Fielded(0x0300, {0, 0, 0}, {L(0, 1), L(1, 1), L(2, 1)}, {L(0, 1), L(1, 1), L(2, 1)});
    time.onRead = [this](Variable& v) {
        const std::int64_t s = ClockSeconds();
        const std::int64_t day = s % 86400;
        v.fields = {static_cast<std::uint32_t>(day / 3600),
                    static_cast<std::uint32_t>(day / 60 % 60),
                    static_cast<std::uint32_t>(day % 60)};
    };
    time.onWrite = [this](Variable&, std::vector<std::uint32_t>& f, const std::uint8_t*,
                          std::size_t) {
        if (f[0] > 23 || f[1] > 59 || f[2] > 59)
            return std::optional<std::vector<std::uint8_t>>(Refusal(kErrInvalidParameters));
        const std::int64_t s = ClockSeconds();
        SetClockSeconds(s - s % 86400 + f[0] * 3600 + f[1] * 60 + f[2]);
        return std::optional<std::vector<std::uint8_t>>{};
    };
    Variable& date = Fielded(0x0301, {1, 1, 5, 0}, {L(0, 1), L(1, 1), L(2, 1), L(3, 1)},
                             {L(0, 1), L(1, 1), L(2, 1), L(3, 1)});
    date.onRead = [this](Variable& v) {
        const std::int64_t days = ClockSeconds() / 86400;
        int y = 0;
        unsigned m = 0, d = 0;
        CivilFromDays(days, y, m, d);
        const std::uint32_t dow =
            static_cast<std::uint32_t>((days + 4) % 7) + 1;  // 1970-01-01 was a Thursday
        v.fields = {d, m, dow, static_cast<std::uint32_t>(y - 2000) & 0xFF};
    };
    date.onWrite = [this](Variable&, std::vector<std::uint32_t>& f, const std::uint8_t*,
                          std::size_t) {
        if (f[0] < 1 || f[0] > 31 || f[1] < 1 || f[1] > 12 || f[2] < 1 || f[2] > 7)
            return std::optional<std::vector<std::uint8_t>>(Refusal(kErrInvalidParameters));
        // The time keeper refuses a day its month does not have (30 February).
        const int year = 2000 + static_cast<int>(f[3]);
        int y = 0;
        unsigned m = 0, d = 0;
        CivilFromDays(DaysFromCivil(year, f[1], f[0]), y, m, d);
        if (m != f[1] || d != f[0])
            return std::optional<std::vector<std::uint8_t>>(Refusal(kErrInvalidParameters));
        const std::int64_t s = ClockSeconds();
        SetClockSeconds(DaysFromCivil(2000 + static_cast<int>(f[3]), f[1], f[0]) * 86400 +
                        s % 86400);
        return std::optional<std::vector<std::uint8_t>>{};
    };
    Variable& run = Fielded(0x0302, {1}, {L(0, 1)}, {L(0, 1)});
    run.onRead = [this](Variable& v) { v.fields = {clockRunning_ ? 1u : 0u}; };
    run.onWrite = [this](Variable&, std::vector<std::uint32_t>& f, const std::uint8_t*,
                         std::size_t) {
        const bool on = f[0] != 0;
        if (on != clockRunning_) {
            const std::int64_t s = ClockSeconds();
            clockRunning_ = on;
            clockFrozenAt_ = Now();
            SetClockSeconds(s);
        }
        return std::optional<std::vector<std::uint8_t>>{};
    };

    // Power diagnosis: one step every diagnosisStepMs, four steps in all.
    Variable& diag = Fielded(0x0600, {0}, {L(0, 1)}, {});
    diag.onRead = [this](Variable& v) {
        if (diagStartMs_ < 0) {
            v.fields = {diagDone_ ? 0x44u : 0u};
            return;
        }
        const auto steps = static_cast<std::uint32_t>(
            std::min<std::int64_t>(4, (Now() - diagStartMs_) / std::max(1, diagnosisStepMs)));
        if (anomalies != 0) {
            diagStartMs_ = -1;
            v.fields = {0x20u | steps};
        } else if (steps == 4) {
            diagStartMs_ = -1;
            diagDone_ = true;
            v.fields = {0x44};
        } else {
            v.fields = {0x10u | steps};
        }
    };
    for (int step = 1; step <= 4; ++step) {
        // 80 W source; the measure wanders a little around the expected power.
        static const double deviation[4] = {1.02, 0.99, 1.01, 0.98};
        const auto raw =
            static_cast<std::uint32_t>(std::lround(8000 * 0.25 * step * deviation[step - 1]));
        Fielded(static_cast<std::uint16_t>(0x0600 + step), {raw}, {L(0)}, {});
    }
    // Tuning: running for tuningMs, then terminated with its result written
    // into the tuning log.
    Variable& tuning = Fielded(0x0605, {0}, {L(0, 1)}, {});
    tuning.onRead = [this](Variable& v) {
        if (!TuningActive()) {
            v.fields = {0};
            return;
        }
        if (anomalies != 0) {
            tuningStartMs_ = -1;
            v.fields = {0x04};
        } else if (Now() - tuningStartMs_ >= tuningMs) {
            tuningStartMs_ = -1;
            v.fields = {tuningCurrentLimited ? 0x08u : 0x00u};
            ++tuningsDone_;
            TSimTuning t;
            t.time = static_cast<std::uint32_t>(ClockSeconds());
            t.workSeconds =
                workSecondsBase_ + static_cast<std::uint32_t>((Now() - workBaseMs_) / 1000);
            t.current = static_cast<std::uint16_t>(60000 - 250 * (tuningsDone_ % 8));
            t.power = static_cast<std::uint16_t>(7900 + 10 * (tuningsDone_ % 8));
            AppendTuning(eeprom_, t, {19500, 29800, 40100, 50300, t.current}, tuningFactory_);
            if (onEepromWritten) onEepromWritten();
        } else {
            v.fields = {0x01};
        }
    };

    // Hours counter: counts the seconds the board is powered.
    Variable& work = Fielded(0x0606, {workSecondsBase_}, {L(0, 4)}, {L(0, 4)});
    work.onRead = [this](Variable& v) {
        v.fields = {workSecondsBase_ + static_cast<std::uint32_t>((Now() - workBaseMs_) / 1000)};
    };
    work.onWrite = [this](Variable&, std::vector<std::uint32_t>& f, const std::uint8_t*,
                          std::size_t) {
        workSecondsBase_ = f[0];
        workBaseMs_ = Now();
        return std::optional<std::vector<std::uint8_t>>{};
    };
    Fielded(0x0607, {0}, {}, {L(0, 4)}).onWrite = [this](Variable&, std::vector<std::uint32_t>& f,
                                                         const std::uint8_t*, std::size_t) {
        // The tuning log carries the factory tuning date at its start.
        SetTuningLogDate(eeprom_, f[0]);
        return std::optional<std::vector<std::uint8_t>>{};
    };
    Fielded(0x0608, {4750}, {L(0)}, {});
    Variable& readings = variables_[0x0610];
    readings.onRead = [this](Variable& v) {
        const std::uint16_t pm = static_cast<std::uint16_t>(TuningActive() ? 6000 : 0);
        const std::uint16_t w[5] = {7950, pm, 4210, 312, 8000};
        v.value.clear();
        for (std::uint16_t x : w) {
            v.value.push_back(static_cast<std::uint8_t>(x));
            v.value.push_back(static_cast<std::uint8_t>(x >> 8));
        }
    };

    // Currents: the RAM values refuse changes while a tuning runs; the stored
    // ones set the RAM value as well.
    auto busyGuard = [this](Variable&, std::vector<std::uint32_t>&, const std::uint8_t*,
                            std::size_t) {
        if (TuningActive()) return std::optional<std::vector<std::uint8_t>>(Refusal(kErrDenied));
        return std::optional<std::vector<std::uint8_t>>{};
    };
    Fielded(0x0620, {5000}, {L(0)}, {L(0)}).onWrite = busyGuard;
    Fielded(0x0621, {6000}, {L(0)}, {});
    Fielded(0x0622, {3500}, {L(0)}, {});
    Fielded(0x0623, {10000}, {L(0)}, {L(0)}).onWrite = busyGuard;
    auto store = [this](std::uint16_t ram) {
        return [this, ram](Variable&, std::vector<std::uint32_t>& f, const std::uint8_t*,
                           std::size_t) {
            if (TuningActive())
                return std::optional<std::vector<std::uint8_t>>(Refusal(kErrDenied));
            variables_[ram].fields = f;
            return std::optional<std::vector<std::uint8_t>>{};
        };
    };
    Fielded(0x0630, {0}, {}, {L(0)}).onWrite = store(0x0620);
    Fielded(0x0631, {0}, {}, {L(0)}).onWrite = store(0x0623);

    // Pelta page: the halves of several values come back in the other order,
    // and the strobe timings are written big-endian and read little-endian.
    // Stored fields are in read order.
    Fielded(0x0700, {250, 150}, {L(0), L(1)}, {L(1), L(0)});  // f x100, d x10; written d then f
    Fielded(0x0701, {20, 30}, {L(0), L(1)}, {L(1), L(0)});    // ON, OFF; written OFF then ON
    Fielded(0x0702, {120, 1500}, {L(0), L(1)}, {L(1), L(0)});
    Fielded(0x0703, {80, 2500}, {L(0), L(1)}, {L(1), L(0)});
    Fielded(0x0704, {0}, {L(0, 1)}, {Zero(), L(0, 1)});
    Fielded(0x0705, {1234567}, {L(0, 4)}, {L(0, 4)});
    Fielded(0x0706, {3}, {L(0)}, {L(0)});
    Fielded(0x0707, {2000}, {L(0)}, {B(0)});
    Fielded(0x0708, {500}, {L(0)}, {B(0)});
    Fielded(0x0709, {4000}, {L(0)}, {B(0)});
    Fielded(0x070A, {5}, {L(0)}, {B(0)});

    // Multi-head page.
    Fielded(0x0800, {4}, {L(0, 1)}, {L(0, 1)}).onWrite =
        [](Variable&, std::vector<std::uint32_t>& f, const std::uint8_t*, std::size_t) {
            if (f[0] > 32)
                return std::optional<std::vector<std::uint8_t>>(Refusal(kErrInvalidParameters));
            return std::optional<std::vector<std::uint8_t>>{};
        };
    Fielded(0x0810, {0x00000002}, {L(0, 4)}, {});
    Fielded(0x0811, {0x00000000}, {L(0, 4)}, {});
    Fielded(0x0812, {0x00000008}, {L(0, 4)}, {});
    Fielded(0x0820, {5000}, {L(0)}, {B(0)});
    Fielded(0x0821, {25}, {L(0)}, {B(0)});

    // Diameter/height sensor points: millimetres and reading, written big-endian.
    for (int i = 0; i < 4; ++i)
        Fielded(static_cast<std::uint16_t>(0x0900 + i),
                {static_cast<std::uint32_t>(10 * (4 - i)), 1023u - 200u * i}, {L(0), L(1)},
                {B(0), B(1)});

    // Flanging page: speed and power are written as two bytes, read as one.
    Fielded(0x0A00, {20}, {L(0, 1)}, {L(0)});
    Fielded(0x0A01, {50}, {L(0, 1)}, {L(0)});
    Fielded(0x0A02, {0}, {L(0, 1)}, {L(0, 1)});
    Fielded(0x0A03, {13107, 6553}, {L(0), L(1)}, {L(0), L(1)});
}

std::vector<std::uint8_t> TBoardModel::Refusal(std::uint8_t code,
                                               std::initializer_list<std::uint16_t> values) {
    std::vector<std::uint8_t> a = {kNack, code};
    for (std::uint16_t v : values) {
        a.push_back(static_cast<std::uint8_t>(v & 0xFF));
        a.push_back(static_cast<std::uint8_t>(v >> 8));
    }
    return a;
}

std::vector<std::uint8_t> TBoardModel::HandleRequest(const std::uint8_t* body, std::size_t count) {
    ++requests;
    if (body == nullptr || count == 0) {
        ++refusals;
        return Refusal(kErrInvalidParameters);
    }
    RefreshIdentity();
    const std::uint8_t type = body[0];
    ++requestsByType[type];
    const bool matches =
        forced_ && forced_->remaining != 0 && (forced_->type < 0 || forced_->type == type);
    if (matches && forced_->after > 0) {
        --forced_->after;
    } else if (matches) {
        if (forced_->remaining > 0) --forced_->remaining;
        std::vector<std::uint8_t> a = {kNack, forced_->code};
        for (std::uint16_t v : forced_->values) {
            a.push_back(static_cast<std::uint8_t>(v & 0xFF));
            a.push_back(static_cast<std::uint8_t>(v >> 8));
        }
        ++refusals;
        return a;
    }
    const std::uint8_t* p = body + 1;
    std::size_t n = count - 1;
    if (link::NeedsSecurityCode(type, protocol.Packed())) {
        std::uint32_t code = 0;
        if (n >= 4)
            code = p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
        if (n < 4 || code != link::kSecurityCode) {
            ++refusals;
            return Refusal(kErrSecurityCode);
        }
        p += 4;
        n -= 4;
    }
    std::vector<std::uint8_t> a;
    switch (type) {
        case 0x01:
            a = WriteMemory(p, n);
            break;
        case 0x02:
            a = ReadMemory(p, n);
            break;
        case 0x0A:
            a = WriteVariable(p, n);
            break;
        case 0x0B:
            a = ReadVariable(p, n);
            break;
        case 0x10:
        case 0x11:
        case 0x12:
        case 0x13:
            a = Start(type);
            break;
        case 0x20:
        case 0x21:
        case 0x22:
        case 0x23:
        case 0x24:
            a = Flanging(type, p, n);
            break;
        case 0xF0:
        case 0xF1: {
            std::uint32_t code = 0;
            if (n >= 4)
                code = p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
            if (n != 4 || code != link::kSecurityCode) {
                a = Refusal(kErrSecurityCode);
                break;
            }
            securityCodeOn = type == 0xF0;
            a = {kAck, type};
            AppendAnswerChecksum(a);
            break;
        }
        default:
            a = Refusal(kErrUnknownCommand);
            break;
    }
    if (!a.empty() && a[0] == kNack) ++refusals;
    if (tamper) tamper(a, type);
    return a;
}

std::vector<std::uint8_t> TBoardModel::Start(std::uint8_t type) {
    std::uint8_t s = 0;
    const bool meter = type == 0x10 || type == 0x11 || type == 0x12;
    if (meter && !powerMeterPresent) s |= 0x02;
    if (anomalies != 0) s |= 0x08;
    if (welding) s |= 0x10;
    // Above 2.1.0 the factory tuning needs the security code switched on; at
    // 2.1.0 the frame itself carries it (checked before).
    if (type == 0x11 && protocol.Packed() > link::kSecuredProtocolVersion && !securityCodeOn)
        s |= 0x80;
    if (type == 0x12 && !diagDone_) s |= 0x20;
    const bool refused = (meter && (s & 0x06)) || (s & 0x18) || (type == 0x11 && (s & 0x80)) ||
                         (type == 0x12 && (s & 0x20));
    if (!refused) {
        if (type == 0x10 || type == 0x13) {
            diagStartMs_ = Now();
            diagDone_ = false;
        } else {
            tuningStartMs_ = Now();
            tuningFactory_ = type == 0x11;
        }
    }
    std::vector<std::uint8_t> a = {kAck, type, s};
    AppendAnswerChecksum(a);
    return a;
}

std::vector<std::uint8_t> TBoardModel::Flanging(std::uint8_t type, const std::uint8_t* p,
                                                std::size_t n) {
    Variable& wave = variables_[0x0A03];
    constexpr std::uint32_t kStep = 655;  // about 0.1 of the full scale of 10
    switch (type) {
        case 0x20: {
            if (n != 1 || p[0] > 15) return Refusal(kErrInvalidParameters);
            const std::size_t at = 32 + 4 * std::size_t{p[0]};
            eeprom_[at] = static_cast<std::uint8_t>(wave.fields[0]);
            eeprom_[at + 1] = static_cast<std::uint8_t>(wave.fields[0] >> 8);
            eeprom_[at + 2] = static_cast<std::uint8_t>(wave.fields[1]);
            eeprom_[at + 3] = static_cast<std::uint8_t>(wave.fields[1] >> 8);
            if (onEepromWritten) onEepromWritten();
            break;
        }
        case 0x21:
            wave.fields[0] = std::min<std::uint32_t>(65535, wave.fields[0] + kStep);
            break;
        case 0x22:
            wave.fields[0] = wave.fields[0] > kStep ? wave.fields[0] - kStep : 0;
            break;
        case 0x23:
            wave.fields[1] = std::min<std::uint32_t>(65535, wave.fields[1] + kStep);
            break;
        case 0x24:
            wave.fields[1] = wave.fields[1] > kStep ? wave.fields[1] - kStep : 0;
            break;
        default:
            break;
    }
    std::vector<std::uint8_t> a = {kAck, type};
    AppendAnswerChecksum(a);
    return a;
}

std::vector<std::uint8_t> TBoardModel::ReadVariable(const std::uint8_t* p, std::size_t n) {
    if (n != 2) return Refusal(kErrInvalidParameters);
    const std::uint16_t code = Le16(p);
    const auto it = variables_.find(code);
    if (it == variables_.end() || !it->second.readable) return Refusal(kErrUnknownVariable, {code});
    // The board's own power readings came with protocol 2.1.1.
    if (code == 0x0610 && protocol.Packed() <= link::kSecuredProtocolVersion)
        return Refusal(kErrUnknownVariable, {code});
    Variable& v = it->second;
    if (v.onRead) v.onRead(v);
    std::vector<std::uint8_t> a = {kAck, 0x0B, p[0], p[1]};
    if (!v.readSlots.empty()) {
        for (const Slot& s : v.readSlots)
            Put(a, s.field >= 0 ? v.fields[static_cast<std::size_t>(s.field)] : 0, s);
    } else {
        a.insert(a.end(), v.value.begin(), v.value.end());
    }
    if (shortAnswers.count(code) != 0 && a.size() > 4) a.pop_back();
    AppendAnswerChecksum(a);
    return a;
}

std::vector<std::uint8_t> TBoardModel::WriteVariable(const std::uint8_t* p, std::size_t n) {
    if (n < 2) return Refusal(kErrInvalidParameters);
    const std::uint16_t code = Le16(p);
    const auto it = variables_.find(code);
    if (it == variables_.end()) return Refusal(kErrUnknownVariable, {code});
    Variable& v = it->second;
    if (!v.writable) return Refusal(kErrReadOnly, {code});
    const std::uint8_t* data = p + 2;
    const std::size_t len = n - 2;
    if (v.writeLength != 0 && len != v.writeLength) return Refusal(kErrInvalidParameters);
    std::vector<std::uint32_t> proposed = v.fields;
    if (!v.writeSlots.empty()) {
        const std::uint8_t* q = data;
        for (const Slot& s : v.writeSlots) {
            if (s.field >= 0) {
                if (proposed.size() <= static_cast<std::size_t>(s.field))
                    proposed.resize(static_cast<std::size_t>(s.field) + 1);
                proposed[static_cast<std::size_t>(s.field)] = Get(q, s);
            }
            q += s.width;
        }
    }
    if (v.onWrite) {
        if (auto refusal = v.onWrite(v, proposed, data, len)) return *refusal;
    }
    if (!v.writeSlots.empty())
        v.fields = proposed;
    else if (!v.onWrite)
        v.value.assign(data, data + len);
    std::vector<std::uint8_t> a = {kAck, 0x0A, p[0], p[1]};
    AppendAnswerChecksum(a);
    return a;
}

std::vector<std::uint8_t> TBoardModel::ReadMemory(const std::uint8_t* p, std::size_t n) {
    if (n != 3) return Refusal(kErrInvalidParameters);
    const std::uint16_t addr = Be16(p);
    const std::size_t len = p[2];
    if (len == 0 || len > kMaxReadCount) return Refusal(kErrInvalidParameters);
    if (addr + len > kEepromSize) return Refusal(kErrInvalidAddress, {addr});
    std::vector<std::uint8_t> a = {kAck, 0x02, p[0], p[1]};
    a.insert(a.end(), eeprom_.begin() + addr,
             eeprom_.begin() + addr + static_cast<std::ptrdiff_t>(len));
    if (corrupt_ && corrupt_->remaining != 0) {
        if (corrupt_->after > 0) {
            --corrupt_->after;
        } else {
            if (corrupt_->remaining > 0) --corrupt_->remaining;
            a[4 + std::min(corrupt_->byte, len - 1)] ^= corrupt_->mask;
        }
    }
    // Three trailer bytes follow the data: the count, a reserved zero and the checksum.
    a.push_back(static_cast<std::uint8_t>(len));
    a.push_back(0);
    AppendAnswerChecksum(a);
    return a;
}

std::vector<std::uint8_t> TBoardModel::WriteMemory(const std::uint8_t* p, std::size_t n) {
    if (n < 3) return Refusal(kErrInvalidParameters);
    const std::uint16_t addr = Be16(p);
    const std::size_t len = n - 2;
    if (addr >= kEepromSize || addr + len > kEepromSize) return Refusal(kErrInvalidAddress, {addr});
    if (len > kEepromPage || addr / kEepromPage != (addr + len - 1) / kEepromPage)
        return Refusal(kErrAcrossPages);
    std::copy_n(p + 2, len, eeprom_.begin() + addr);
    if (onEepromWritten) onEepromWritten();
    std::vector<std::uint8_t> a = {kAck, 0x01, p[0], p[1]};
    AppendAnswerChecksum(a);
    return a;
}

}  // namespace orvan::sim
