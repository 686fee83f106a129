#include "features/VariantForm.h"

#include <cmath>
#include <cstdio>

#include "commands/Builders.h"
#include "commands/Catalogue.h"
#include "link/NumberText.h"

namespace orvan::features {

using namespace commands;

namespace {

TResult Queued(const SendResult& r) {
    return r ? TResult::Ok() : TResult::Fail(r.why);
}

double Rounded(double v, int decimals) {
    const double scale = std::pow(10.0, decimals);
    return std::round(v * scale) / scale;
}

std::string TypeText(std::uint16_t t) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "0x%04X", t);
    return buf;
}

}  // namespace

const char* VariantName(Variant v) {
    switch (v) {
        case Variant::Dac16:
            return "16-bit DAC";
        case Variant::Pelta:
            return "Pelta";
        case Variant::MultiHead:
            return "multi-head";
        case Variant::DiameterHeight:
            return "diameter/height";
        case Variant::Flanging:
            return "flanging";
    }
    return "";
}

bool VariantServes(Variant v, std::uint16_t boardType) {
    if (v == Variant::Dac16) return true;  // on the I/O page of every board
    if (v == Variant::Pelta) return boardType == 0 || boardType == kBoardPelta;
    switch (boardType) {
        case kBoardSource:
        case kBoardPelta:
            return false;
        case kBoardMultiHead:
            return v == Variant::MultiHead || v == Variant::DiameterHeight;
        case kBoardFlanging16:
            return v == Variant::Flanging;
        default:
            return true;
    }
}

std::string NotServedText(Variant v, std::uint16_t boardType) {
    std::string serves;
    switch (v) {
        case Variant::Pelta:
            serves = "the Pelta welder (board type " + TypeText(kBoardPelta) + ")";
            break;
        case Variant::MultiHead:
        case Variant::DiameterHeight:
            serves = "the multi-head machine (board type " + TypeText(kBoardMultiHead) + ")";
            break;
        case Variant::Flanging:
            serves = "flanging machines (board type " + TypeText(kBoardFlanging16) +
                     " with 16 profiles)";
            break;
        case Variant::Dac16:
            serves = "every board";
            break;
    }
    return "This page serves " + serves + "; the connected board (type " + TypeText(boardType) +
           ") has no " + VariantName(v) + " variables, so nothing is sent from here.";
}

double StepValue(const TFieldSpec& f, double value, bool up) {
    double step = f.step;
    if (f.rule == StepRule::Frequency) step = value < 5 ? 0.1 : value < 15 ? 1 : 10;
    double next = Rounded(value + (up ? step : -step), f.decimals);
    if (next < f.min) next = f.min;
    if (next > f.max) next = f.max;
    return next;
}

std::string FieldName(const TFieldSpec& f) {
    // The technician reads captions; the trailing blanks some labels carry
    // for their layout do not belong in a sentence.
    std::string_view c = f.caption;
    while (!c.empty() && c.back() == ' ') c.remove_suffix(1);
    return std::string(c.empty() ? f.field : c);
}

std::string VariantNumberText(double v, int decimals, char separator) {
    std::string s = link::RoundedText(v, decimals);
    for (char& c : s)
        if (c == '.') c = separator;
    return s;
}

TVariableForm::TVariableForm(TSession& session, Variant variant, std::span<const TFieldSpec> fields)
    : session_(session), variant_(variant), fields_(fields) {
    for (const TFieldSpec& f : fields_) values_[std::string(f.field)] = f.initial;
}

const TFieldSpec* TVariableForm::Field(std::string_view field) const {
    for (const TFieldSpec& f : fields_)
        if (f.field == field) return &f;
    return nullptr;
}

double TVariableForm::Value(std::string_view field) const {
    const auto it = values_.find(field);
    return it == values_.end() ? 0.0 : it->second;
}

TResult TVariableForm::CheckServed() const {
    if (Served()) return TResult::Ok();
    return TResult::Fail(NotServedText(variant_, session_.boardType));
}

TResult TVariableForm::Read(std::initializer_list<std::uint16_t> codes) {
    if (const TResult s = CheckServed(); !s) return s;
    for (std::uint16_t code : codes)
        if (const TResult r = Queued(SendReadVariable(session_.Protocol(), code)); !r) return r;
    return TResult::Ok();
}

bool TVariableForm::ParseField(const TFieldSpec& f, std::string_view text, char separator,
                               double& out, std::string* why) const {
    const std::string name = FieldName(f);
    double v = 0;
    if (f.integer) {
        std::int64_t i = 0;
        if (!ParseTypedInteger(text, i)) {
            if (why)
                *why = name + ": '" + std::string(text) + "' is not a whole number; nothing sent";
            return false;
        }
        v = static_cast<double>(i);
    } else if (!ParseTypedDecimal(text, separator, v)) {
        if (why)
            *why = name + ": '" + std::string(text) + "' is not a number (decimal separator '" +
                   std::string(1, separator) + "'); nothing sent";
        return false;
    }
    double min = f.min, max = f.max;
    if (rangeOf) rangeOf(f, min, max);
    if (v < min || v > max) {
        if (why)
            *why = name + ": " + VariantNumberText(v, 6, separator) + " is outside " +
                   VariantNumberText(min, f.decimals, separator) + ".." +
                   VariantNumberText(max, f.decimals, separator) + "; nothing sent";
        return false;
    }
    out = v;
    return true;
}

TResult TVariableForm::Write(std::uint16_t code, const std::map<std::string, std::string>& typed,
                             char decimalSeparator) {
    std::map<std::string, double> values;
    for (const auto& [field, text] : typed) {
        const TFieldSpec* f = Field(field);
        if (f == nullptr || f->code != code) continue;
        double v = 0;
        std::string why;
        if (!ParseField(*f, text, decimalSeparator, v, &why)) return TResult::Fail(why);
        values[field] = v;
    }
    return WriteValues(code, values);
}

TResult TVariableForm::WriteValues(std::uint16_t code, const std::map<std::string, double>& given) {
    if (const TResult s = CheckServed(); !s) return s;
    const VariableInfo* info = FindVariable(code);
    if (info == nullptr || !info->writable)
        return TResult::Fail(CodeText(code) + " is not written by this program; nothing sent");
    std::vector<double> values;
    std::map<std::string, double> taken;
    for (std::size_t i = 0; i < info->fieldCount; ++i) {
        const WriteField& w = info->fields[i];
        if (w.kind == WriteKind::Zero8) continue;
        const TFieldSpec* f = Field(w.source);
        if (f == nullptr)
            return TResult::Fail(std::string(info->name) + " is not written from this page");
        const auto it = given.find(std::string(f->field));
        const double v = it != given.end() ? it->second : Value(f->field);
        double min = f->min, max = f->max;
        if (rangeOf) rangeOf(*f, min, max);
        if (v < min || v > max) {
            const char sep = '.';
            return TResult::Fail(FieldName(*f) + ": " + VariantNumberText(v, 6, sep) +
                                 " is outside " + VariantNumberText(min, f->decimals, sep) + ".." +
                                 VariantNumberText(max, f->decimals, sep) + "; nothing sent");
        }
        values.push_back(v);
        taken[std::string(f->field)] = v;
    }
    const TResult r = Queued(SendWriteVariable(session_.Protocol(), code, values));
    if (!r) return r;
    // What was sent is what the page holds now.
    for (const auto& [field, v] : taken) {
        values_[field] = v;
        Show(field, v);
    }
    pending_[code].assign(taken.begin(), taken.end());
    return r;
}

void TVariableForm::OnAcknowledged(std::uint8_t type, std::uint16_t code) {
    if (type != commands::kWriteVariable) return;
    const auto it = pending_.find(code);
    if (it == pending_.end()) return;
    const std::vector<std::pair<std::string, double>> written = std::move(it->second);
    pending_.erase(it);
    if (broadcast_) broadcast_([&](IVariantView& v) { v.ShowAcknowledged(written); });
}

// A refused write has its own box; no later acknowledge stands for it.
void TVariableForm::OnRefusal(const std::string&) {
    pending_.clear();
}

TResult TVariableForm::Step(std::string_view field, bool up) {
    const TFieldSpec* f = Field(field);
    if (f == nullptr || f->rule == StepRule::None)
        return TResult::Fail(std::string(field) + " has no up/down button");
    if (const TResult s = CheckServed(); !s) return s;
    double next = StepValue(*f, Value(field), up);
    double min = f->min, max = f->max;
    if (rangeOf) rangeOf(*f, min, max);
    next = std::min(std::max(next, min), max);
    return WriteValues(f->code, {{std::string(field), next}});
}

void TVariableForm::OnVariable(const DecodedVariable& v) {
    for (const DecodedField& d : v.fields) {
        const TFieldSpec* f = Field(d.field);
        if (f == nullptr || f->code != v.code) continue;
        values_[d.field] = d.value;
        Show(d.field, d.value);
    }
}

void TVariableForm::OnBoardType(std::uint16_t) {
    if (!broadcast_) return;
    const bool served = Served();
    const std::string why = served ? std::string() : NotServedText(variant_, session_.boardType);
    broadcast_([&](IVariantView& v) { v.ShowServed(served, why); });
}

void TVariableForm::Hold(const std::string& field, double value) {
    values_[field] = value;
    Show(field, value);
}

void TVariableForm::Show(const std::string& field, double value) {
    if (broadcast_) broadcast_([&](IVariantView& v) { v.ShowValue(field, value); });
}

}  // namespace orvan::features
