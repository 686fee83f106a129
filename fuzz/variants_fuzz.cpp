// Typed texts of the machine pages: any text, in any edit, with either
// decimal separator, on any board type. Invariant: a text the page refuses
// queues nothing; one it takes queues exactly one write, and the number the
// page then holds is within the field's range (nothing wraps).

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "features/SupervisorCore.h"
#include "link/Clock.h"

namespace {

class NullPort : public orvan::link::ISerialPort {
  public:
    bool IsOpen() const override { return true; }
    void WriteBytes(const std::uint8_t*, std::size_t) override {}
    std::int32_t ReadBytes(std::uint8_t*, std::int32_t) override { return 0; }
    std::int32_t BytesWaiting() override { return 0; }
    void ClosePort() override {}
};

class Quiet : public orvan::commands::INotifier {
  public:
    void ShowRefusal(std::string_view, std::string_view) override {}
    void ShowMissingAck(std::string_view, std::string_view) override {}
};

const char* const kFields[] = {
    "edtPeltaWork_f",      "edtPeltaWork_d",    "edtPeltaSlopeON",       "edtPeltaLaserPulse",
    "edtPeltaStrobeDelay", "edtPeltaPreion1_d", "edtPeltaStrobeCounter", "edtPeltaStrobeFilter",
    "edtMultiHHeadsNum",   "edtMultiHFreq",     "edtMultiHPreion",       "edtBirHeightMmMax",
    "edtBirDiamVmin",      "edtFlangSpeed",     "edtFlangPower",         "edtFlangWaveOffset",
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 3) return 0;
    NullPort port;
    orvan::link::ManualClock clock;
    Quiet quiet;
    orvan::features::TSupervisorCore core(port, clock, quiet);
    const std::uint16_t types[] = {0, 0x0100, 0x0500, 0x0800, 0x0A00, 0x0C00};
    core.Engine().session.boardType = types[data[0] % 6];
    const char* field = kFields[data[1] % (sizeof kFields / sizeof kFields[0])];
    const char separator = (data[2] & 1) ? ',' : '.';
    const std::string text(reinterpret_cast<const char*>(data + 3), size - 3);

    orvan::features::TVariableForm* forms[] = {&core.Pelta().Form(), &core.MultiHead().Form(),
                                               &core.DiameterHeight().Form(),
                                               &core.Flanging().Form()};
    for (orvan::features::TVariableForm* form : forms) {
        const orvan::features::TFieldSpec* f = form->Field(field);
        if (f == nullptr) continue;
        const std::size_t before = core.Protocol().QueueCount();
        const auto r = form->Write(f->code, {{field, text}}, separator);
        const std::size_t after = core.Protocol().QueueCount();
        if (!r.ok && after != before) std::abort();
        if (r.ok) {
            if (after != before + 1) std::abort();
            const double v = form->Value(field);
            if (v < f->min || v > f->max) std::abort();
        }
    }
    return 0;
}
