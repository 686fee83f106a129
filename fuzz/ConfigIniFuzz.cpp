// Invariants checked on any input text:
// - the INI layer gives back exactly the bytes it was given;
// - writing one key reads back as written, survives a reparse and leaves
//   another key's value as it was;
// - a configuration loaded from the text, written into it and loaded again
//   is the same record, and every value loaded lies in its field's range.

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "config/Cfgwelderrw.h"
#include "config/IniFile.h"

using namespace orvan::config;

namespace {

void Check(bool ok) {
    if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    TIniFile ini;
    ini.LoadFromText(text);
    Check(ini.Text() == text);

    // Pick a section and key from the first bytes so the fuzzer can hit real ones.
    static const char* const kSections[] = {"INFO", "ANALOG_OUT", "FEEDBACK", "x", "TIMER_100"};
    static const char* const kKeys[] = {"Version", "MinPower", "PMCoeff_q", "k", "Timer_0"};
    const std::size_t pick = size ? data[0] % 5 : 0;
    const auto otherBefore = ini.Find("ANALOG_OUT", "MaxPower");
    TIniFile edited = ini;
    Check(edited.WriteInteger(kSections[pick], kKeys[pick], -12345));
    Check(edited.ReadInteger(kSections[pick], kKeys[pick], 0) == -12345);
    if (pick != 1) Check(edited.Find("ANALOG_OUT", "MaxPower") == otherBefore);
    TIniFile reread;
    reread.LoadFromText(edited.Text());
    Check(reread.Text() == edited.Text());
    Check(reread.ReadInteger(kSections[pick], kKeys[pick], 0) == -12345);

    TCfgWelderRW cfg;
    if (cfg.LoadFromIni(ini).ok) {
        for (const TFieldInfo& f : Fields()) Check(f.Raw(cfg) >= f.Min() && f.Raw(cfg) <= f.Max());
        TIniFile out = ini;
        cfg.WriteToIni(out);
        TCfgWelderRW back;
        Check(back.LoadFromIni(out).ok);
        // Duplicate keys or sections keep the first occurrence on both reads,
        // so the record must survive.
        Check(back == cfg);
        // Engineering views must never trap on whatever was loaded.
        for (const TFieldInfo& f : Fields()) (void)f.Value(cfg);
        for (std::uint16_t r : {std::uint16_t{0}, std::uint16_t{512}, std::uint16_t{65535}}) {
            (void)cfg.CurrentSetpointFromReading(r);
            (void)cfg.PowerSetpointFromReading(r);
            (void)cfg.SupplyCurrentFromReading(r);
            (void)cfg.PowerMeterFromReading(r);
            (void)cfg.PhotodiodePowerFromReading(r);
        }
        (void)cfg.DacFromPower(1e9);
    }
    return 0;
}
