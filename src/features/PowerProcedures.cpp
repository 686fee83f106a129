#include "features/PowerProcedures.h"

#include "commands/Builders.h"

namespace orvan::features {

using namespace commands;

std::string StartAnswerRefusal(std::uint8_t type, std::uint8_t s) {
    const bool meter = type == kStartPowerDiagnosis || type == kStartFactoryTuning ||
                       type == kStartSecondaryTuning;
    if (meter && (s & 0x02)) return "Power meter not present";
    if (meter && (s & 0x04)) return "Power meter high temperature";
    if (s & 0x08) return "Permission denied - Anomaly";
    if (s & 0x10) return "Permission denied - Welding in course";
    if (type == kStartFactoryTuning && (s & 0x80)) return "Permission denied - Security code error";
    if (type == kStartSecondaryTuning && (s & 0x20))
        return "Permission denied - Diagnosis not performed";
    return {};
}

void TPowerProcedures::OnStartAnswer(std::uint8_t type, std::uint8_t status) {
    std::string text = StartAnswerRefusal(type, status);
    procedureType = type;
    procedureStarted = text.empty();
    if (procedureStarted) {
        text = "Executing...";
        const bool diagnosis = type == kStartPowerDiagnosis || type == kStartPdDiagnosis;
        (void)SendReadVariable(session_.Protocol(), diagnosis ? DiagnosisStatus : TuningStatus);
    }
    views_.Notify(&IPowerProcedureView::OnProcedureAnswer, type, status, text, procedureStarted);
}

}  // namespace orvan::features
