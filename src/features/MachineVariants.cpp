#include "features/MachineVariants.h"

#include <map>
#include <string>

#include "commands/Catalogue.h"

namespace orvan::features {

using namespace commands;

TVariableForm* VariantFormFor(TSupervisorCore& core, std::uint16_t code) {
    if (code == Dac16Value || code == Dac16Force) return &core.Dac16().Form();
    switch (code >> 8) {
        case 0x07:
            return &core.Pelta().Form();
        case 0x08:
            return &core.MultiHead().Form();
        case 0x09:
            return &core.DiameterHeight().Form();
        case 0x0A:
            return &core.Flanging().Form();
        default:
            return nullptr;
    }
}

TResult WriteVariantValues(TVariableForm& form, std::uint16_t code,
                           std::span<const double> values) {
    const VariableInfo* info = FindVariable(code);
    if (info == nullptr || !info->writable)
        return TResult::Fail(CodeText(code) + " is not written by this program");
    if (values.size() != info->WriteValueCount())
        return TResult::Fail(std::string(info->name) + " takes " +
                             std::to_string(info->WriteValueCount()) + " value(s), not " +
                             std::to_string(values.size()));
    std::map<std::string, double> byField;
    std::size_t k = 0;
    for (std::size_t i = 0; i < info->fieldCount; ++i) {
        if (info->fields[i].kind == WriteKind::Zero8) continue;
        byField[std::string(info->fields[i].source)] = values[k++];
    }
    return form.WriteValues(code, byField);
}

}  // namespace orvan::features
