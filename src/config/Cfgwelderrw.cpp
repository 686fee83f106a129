#include "config/Cfgwelderrw.h"

#include <cstdlib>
#include <vector>

namespace orvan::config {

namespace {

std::vector<std::string> FileKeys() {
    std::vector<std::string> keys;
    auto one = [&](std::initializer_list<const char*> names) {
        for (const char* n : names) keys.emplace_back(n);
    };
    auto many = [&](const char* stem, int n) {
        for (int i = 0; i < n; ++i) keys.push_back(std::string(stem) + "_" + std::to_string(i));
    };
    one({"Version", "Size"});
    one({"StandByPower", "MinPower", "MaxPower", "CurrentDiodeMax", "PDiodeMax", "AlimVolt2Ampere",
         "VsetPowMax", "TimeAlimSlope"});
    many("ADCOffset", 6);
    many("ADCAverage", 6);
    many("ADCGain", 6);
    one({"TempWorkMax", "TempWorkMin", "TempWorkCooling", "TempWorkHeating", "TempWorkStepChk",
         "TempWorkOK", "TempWorkErrMax", "TempWorkErrRetry", "TempStartupStep", "TempStartupRange",
         "TempStartupErrMax", "TempStartupErrRetry"});
    one({"PowerTolerance", "CurrentTolerance"});
    one({"CoolPID_KP", "CoolPID_KI", "CoolPID_KD", "HeatPID_KP", "HeatPID_KI", "HeatPID_KD",
         "Period"});
    many("OptoInFilter", 12);
    many("Timer", 16);
    one({"PMCoeff_m", "PMCoeff_q", "IAlimCoeff_m", "IAlimCoeff_q"});
    many("PDTable_V", 10);
    many("PDTable_W", 10);
    many("WATable_A", 6);
    many("WATable_W", 6);
    one({"TempCoeff_m", "TempCoeff_q"});
    return keys;
}

std::vector<const TFieldInfo*> BuildOrder() {
    std::vector<const TFieldInfo*> order;
    for (const std::string& k : FileKeys()) {
        const TFieldInfo* f = FindField(k);
        if (!f) std::abort();  // a key without a field: caught by any test
        order.push_back(f);
    }
    return order;
}

}  // namespace

std::span<const TFieldInfo* const> FileFieldOrder() {
    static const std::vector<const TFieldInfo*> order = BuildOrder();
    return order;
}

std::string WcfFileName(std::string_view name) {
    const auto slash = name.find_last_of('/');
    const std::size_t base = slash == std::string_view::npos ? 0 : slash + 1;
    const auto dot = name.find_last_of('.');
    // A leading dot names a hidden file, not an extension.
    if (dot != std::string_view::npos && dot > base) name = name.substr(0, dot);
    return std::string(name) + ".wcf";
}

TFileResult TCfgWelderRW::LoadFromIni(const TIniFile& ini) {
    TFileResult res;
    res.path = ini.Path();
    // A repeated section is read as one and a repeated key gives its first
    // value; either way the file is not what it seems, so it is said.
    res.duplicates = ini.Duplicates();
    for (const std::string& d : res.duplicates) res.warnings.push_back(d);
    TCfgWelderRW next(*this);
    std::size_t found = 0;
    for (const TFieldInfo* f : FileFieldOrder()) {
        const auto text = ini.Find(f->section, f->key);
        std::int32_t v = f->fileDefault;
        if (!text) {
            res.missingKeys.push_back(f->key);
        } else if (!ParseIniInteger(*text, v)) {
            ++found;
            v = f->fileDefault;
            res.warnings.push_back(f->key + "=" + *text +
                                   " is not an integer: " + std::to_string(v) + " used");
        } else {
            ++found;
            if (v < f->Min() || v > f->Max()) {
                const std::int32_t limited = v < f->Min() ? f->Min() : f->Max();
                res.warnings.push_back(f->key + "=" + std::to_string(v) + " is outside " +
                                       std::to_string(f->Min()) + ".." + std::to_string(f->Max()) +
                                       ": limited to " + std::to_string(limited));
                v = limited;
            }
        }
        f->setRaw(next, f->index, v);
    }
    if (found == 0) {
        res.why = "\"" + res.path + "\" holds no welder configuration";
        res.missingKeys.clear();
        return res;
    }
    static_cast<TWelderCfgBlank&>(*this) = next;
    res.ok = true;
    return res;
}

TFileResult TCfgWelderRW::LoadFromFile(const std::string& fileName) {
    TFileResult res;
    res.path = WcfFileName(fileName);
    TIniFile ini(res.path);
    std::string error;
    if (!ini.Load(&error)) {
        res.why = error;
        return res;
    }
    if (!ini.Exists()) {
        res.why = "cannot open \"" + res.path + "\": the file does not exist";
        return res;
    }
    return LoadFromIni(ini);
}

void TCfgWelderRW::WriteToIni(TIniFile& ini) const {
    for (const TFieldInfo* f : FileFieldOrder()) {
        ini.WriteInteger(f->section, f->key, f->Raw(*this));
    }
}

TFileResult TCfgWelderRW::SaveToFile(const std::string& fileName) const {
    TFileResult res;
    res.path = WcfFileName(fileName);
    TIniFile ini(res.path);
    std::string error;
    if (!ini.Load(&error)) {
        res.why = error + "; not overwritten";
        return res;
    }
    WriteToIni(ini);
    const SaveResult saved = ini.Save();
    if (!saved) {
        res.why = saved.why;
        return res;
    }
    res.ok = true;
    return res;
}

TFileResult TCfgWelderRW::FileText(const std::string& fileName, std::string& text) const {
    TFileResult res;
    res.path = WcfFileName(fileName);
    TIniFile ini(res.path);
    std::string error;
    if (!ini.Load(&error)) {
        res.why = error + "; not overwritten";
        return res;
    }
    WriteToIni(ini);
    text = ini.Text();
    res.ok = true;
    return res;
}

}  // namespace orvan::config
