#include "features/WelderData.h"

#include <algorithm>
#include <cstdio>
#include <ctime>

#include "config/AtomicFile.h"
#include "config/Cfgwelder.h"
#include "link/ByteOrder.h"
#include "link/NumberText.h"

namespace orvan::features {

namespace {

constexpr std::uint16_t kAbsent = 0xFFFF;

}  // namespace

std::string TuningDateTimeText(std::uint32_t seconds) {
    const std::time_t t = static_cast<std::time_t>(seconds);
    std::tm tm{};
    if (gmtime_r(&t, &tm) == nullptr) return "?";
    char text[80];
    std::snprintf(text, sizeof text, "%02d/%02d/%04d %02d:%02d:%02d", tm.tm_mday, tm.tm_mon + 1,
                  tm.tm_year + 1900, tm.tm_hour, tm.tm_min, tm.tm_sec);
    return text;
}

std::uint16_t TuningCopyCheck(std::span<const std::uint8_t> copy) {
    std::uint16_t reg = 0;
    const std::size_t n = std::min(copy.size(), kCheckOffset);
    for (std::size_t i = 0; i < n; ++i) reg = config::Crc16Step(reg, copy[i]);
    return reg;
}

void TWelderData::SelectCopy(std::span<const std::uint8_t> image) {
    std::array<std::uint8_t, kTuningLogBytes> all{};
    all.fill(0xFF);
    std::copy_n(image.begin(), std::min(image.size(), all.size()), all.begin());
    const std::span<const std::uint8_t> a(all.data(), kTuningCopySize);
    const std::span<const std::uint8_t> b(all.data() + kTuningCopySize, kTuningCopySize);
    const bool aOk = TuningCopyCheck(a) == link::GetLe16(a.data() + kCheckOffset);
    const bool bOk = TuningCopyCheck(b) == link::GetLe16(b.data() + kCheckOffset);
    if (aOk && bOk)
        validCopy =
            link::GetLe32(a.data() + kSequenceOffset) > link::GetLe32(b.data() + kSequenceOffset)
                ? 1
                : 2;
    else
        validCopy = aOk ? 1 : bOk ? 2 : 0;
    const auto& chosen = validCopy == 2 ? b : a;
    std::copy(chosen.begin(), chosen.end(), copy_.begin());
    tuningDone = validCopy != 0 && copy_[kRingHeadOffset] != kNoTuningDone;
    decoded_ = true;
}

std::uint16_t TWelderData::U16(std::size_t offset) const {
    return link::GetLe16(copy_.data() + offset);
}

std::uint32_t TWelderData::U32(std::size_t offset) const {
    return link::GetLe32(copy_.data() + offset);
}

tuninglog TWelderData::Entry(int i) const {
    tuninglog e;
    // Nothing in a damaged log is shown as if it were a tuning.
    const int head = copy_[kRingHeadOffset];
    if (validCopy == 0 || i < 0 || i >= kTuningRingSize || head >= kTuningRingSize) return e;
    int slot = head - i;
    if (slot < 0) slot += kTuningRingSize;
    const std::size_t at = kRingOffset + kEntrySize * static_cast<std::size_t>(slot);
    const std::uint16_t current = U16(at + 8);
    const std::uint16_t power = U16(at + 10);
    if (current == kAbsent || power == kAbsent) return e;
    e.valid = true;
    e.time = U32(at);
    e.current = CurrentDiodeMax / 100.0 * current / 65535.0;
    e.power = power / 100.0;
    e.hours = U32(at + 4) / 3600.0;
    e.dateTime = TuningDateTimeText(e.time);
    return e;
}

std::uint32_t TWelderData::FactoryTuningTime() const {
    return U32(kTuningDateOffset);
}

std::string TWelderData::FactoryTuningTimeText() const {
    return TuningDateTimeText(FactoryTuningTime());
}

double TWelderData::TunedCurrent(int k) {
    if (k < 0 || k >= kTunedPoints) return 0;
    const double a = CurrentDiodeMax / 100.0 *
                     U16(kTunedCurrentsOffset + 2 * static_cast<std::size_t>(k)) / 65535.0;
    table[1][static_cast<std::size_t>(k) + 1] = a;
    return a;
}

void TWelderData::SetTableValue(int row, int point, double value) {
    if (row < 0 || row > 1 || point < 0 || point > 5) return;
    table[static_cast<std::size_t>(row)][static_cast<std::size_t>(point)] = value;
}

std::string TWelderData::LogText() const {
    using link::NumberText;
    using link::RoundedText;
    std::string s;
    s += "Velkor Laser technology\n";
    s += "14/02/2007\n\r\n\r";
    s += "Tuning log:\t\n";
    s += "Data/Ora\tA\tW\tOre\t\t\n";
    for (int i = 0; i < kTuningRingSize; ++i) {
        const tuninglog e = Entry(i);
        if (!e.valid) break;
        s += e.dateTime + '\t' + RoundedText(e.current, 3) + '\t' + RoundedText(e.power, 3) + '\t' +
             RoundedText(e.hours, 3) + "\t\n";
    }
    s += "\t\n";
    s += "Tabella di linearizzazione Potenza/Corrente:\t\n";
    s += "W\tA\t\t\n";
    // As the page's table shows them: watts and amperes to 0.01.
    for (std::size_t p = 0; p < 6; ++p)
        s += RoundedText(table[0][p], 2) + '\t' + RoundedText(table[1][p], 2) + "\t\n";
    return s;
}

TResult TWelderData::Save(const std::string& path) const {
    if (!decoded_)
        return TResult::Fail(
            "No tuning log has been read yet: read it from the board first "
            "(\"Get tuning log\"); nothing saved");
    if (validCopy == 0)
        return TResult::Fail(
            "Both copies of the tuning log on the board are damaged: there is "
            "nothing trustworthy to save; nothing saved");
    const config::SaveResult r = config::SaveFileAtomically(path, LogText());
    if (!r) return TResult::Fail(r.why);
    return TResult::Ok();
}

}  // namespace orvan::features
