#include "features/TuningLog.h"

#include "link/NumberText.h"

namespace orvan::features {

TResult TTuningLog::Read() {
    if (!session_.configLoaded)
        return TResult::Fail("Leggere la configurazione prima di eseguire questa operazione");
    return logs_.StartTuningLogRead();
}

TTuningLogShown TTuningLog::Decode(std::span<const std::uint8_t> image) {
    using link::RoundedText;
    TWelderData& d = welderData;
    d.CurrentDiodeMax = record_.GetCurrentDiodeMax();
    d.SelectCopy(image);
    TTuningLogShown s;
    s.outcome = TSequenceOutcome::Completed();
    s.validCopy = d.validCopy;
    s.tuningDone = d.tuningDone;
    for (int i = 0; i < kTuningRingSize; ++i) {
        tuninglog e = d.Entry(i);
        if (!e.valid) break;
        s.entries.push_back(std::move(e));
    }
    s.hasTable = d.HasTable();
    if (s.hasTable) {
        for (int p = 0; p < 6; ++p) {
            d.SetTableValue(0, p, record_.GetWATableWValue(p));
            s.tablePower[static_cast<std::size_t>(p)] =
                link::NumberText(record_.GetWATableWValue(p));
        }
        d.SetTableValue(1, 0, record_.GetWATableAValue(0));
        s.tableCurrent[0] = RoundedText(record_.GetWATableAValue(0), 2);
        for (int k = 0; k < kTunedPoints; ++k)
            s.tableCurrent[static_cast<std::size_t>(k) + 1] = RoundedText(d.TunedCurrent(k), 2);
    } else {
        // A table kept from an earlier log would be saved as this one's.
        d.table = {};
    }
    if (d.validCopy == 0) {
        s.problem =
            "Both copies of the tuning log are damaged (check values wrong): nothing of "
            "it is shown";
    } else {
        s.factoryTuningTime = d.FactoryTuningTimeText();
    }
    return s;
}

void TTuningLog::OnTuningLogRead(const TSequenceOutcome& outcome,
                                 const std::array<std::uint8_t, commands::kTuningLogSize>& image) {
    if (!outcome.completed) {
        // What was shown stays; the read that did not finish is said.
        TTuningLogShown s = lastShown;
        s.outcome = outcome;
        views_.Notify(&ITuningLogView::OnTuningLogShown, s);
        return;
    }
    lastShown = Decode(image);
    views_.Notify(&ITuningLogView::OnTuningLogShown, lastShown);
}

}  // namespace orvan::features
