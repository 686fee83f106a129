#include "BoardModel.h"

#include <algorithm>

#include "FrameCodec.h"

namespace orvan::sim {

namespace {

std::uint16_t Be16(const std::uint8_t* p) { return static_cast<std::uint16_t>((p[0] << 8) | p[1]); }

}  // namespace

void AppendAnswerChecksum(std::vector<std::uint8_t>& answer) {
    std::uint8_t x = 0;
    for (std::uint8_t b : answer) x ^= b;
    answer.push_back(x);
}

TBoardModel::TBoardModel() {
    eeprom_.fill(0xFF);
    RefreshIdentity();
}

void TBoardModel::RefreshIdentity() {
    SetVariable(0x0000, {firmware.major, firmware.minor, firmware.patch});
    SetVariable(0x0001, {static_cast<std::uint8_t>(boardType & 0xFF), static_cast<std::uint8_t>(boardType >> 8)});
    SetVariable(0x0002, {protocol.major, protocol.minor, protocol.patch});
}

void TBoardModel::SetVariable(std::uint16_t code, std::vector<std::uint8_t> value, bool writable,
                              std::size_t writeLength) {
    Variable& v = variables_[code];
    v.value = std::move(value);
    v.writable = writable;
    v.writeLength = writeLength;
}

std::vector<std::uint8_t> TBoardModel::Refusal(std::uint8_t code, std::initializer_list<std::uint16_t> values) {
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
    const std::uint8_t* p = body + 1;
    std::size_t n = count - 1;
    if (link::NeedsSecurityCode(type, protocol.Packed())) {
        std::uint32_t code = 0;
        if (n >= 4) code = p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
        if (n < 4 || code != link::kSecurityCode) {
            ++refusals;
            return Refusal(kErrSecurityCode);
        }
        p += 4;
        n -= 4;
    }
    std::vector<std::uint8_t> a;
    switch (type) {
        case 0x01: a = WriteMemory(p, n); break;
        case 0x02: a = ReadMemory(p, n); break;
        case 0x0A: a = WriteVariable(p, n); break;
        case 0x0B: a = ReadVariable(p, n); break;
        case 0xF0:
        case 0xF1:
            a = {kAck, type};
            break;
        default: a = Refusal(kErrUnknownCommand); break;
    }
    if (!a.empty() && a[0] == kNack) ++refusals;
    return a;
}

std::vector<std::uint8_t> TBoardModel::ReadVariable(const std::uint8_t* p, std::size_t n) {
    if (n < 2) return Refusal(kErrInvalidParameters);
    const std::uint16_t code = static_cast<std::uint16_t>(p[0] | (p[1] << 8));
    const auto it = variables_.find(code);
    if (it == variables_.end() || !it->second.readable) return Refusal(kErrUnknownVariable, {code});
    std::vector<std::uint8_t> a = {kAck, 0x0B, p[0], p[1]};
    a.insert(a.end(), it->second.value.begin(), it->second.value.end());
    AppendAnswerChecksum(a);
    return a;
}

std::vector<std::uint8_t> TBoardModel::WriteVariable(const std::uint8_t* p, std::size_t n) {
    if (n < 2) return Refusal(kErrInvalidParameters);
    const std::uint16_t code = static_cast<std::uint16_t>(p[0] | (p[1] << 8));
    const auto it = variables_.find(code);
    if (it == variables_.end()) return Refusal(kErrUnknownVariable, {code});
    Variable& v = it->second;
    if (!v.writable) return Refusal(kErrReadOnly, {code});
    const std::uint8_t* data = p + 2;
    const std::size_t len = n - 2;
    if (v.writeLength != 0 && len != v.writeLength) return Refusal(kErrInvalidParameters);
    if (v.onWrite) {
        v.onWrite(data, len);
    } else {
        v.value.assign(data, data + len);
    }
    std::vector<std::uint8_t> a = {kAck, 0x0A, p[0], p[1]};
    AppendAnswerChecksum(a);
    return a;
}

std::vector<std::uint8_t> TBoardModel::ReadMemory(const std::uint8_t* p, std::size_t n) {
    if (n < 3) return Refusal(kErrInvalidParameters);
    const std::uint16_t addr = Be16(p);
    const std::size_t len = p[2];
    if (len == 0 || len > kMaxReadCount) return Refusal(kErrInvalidParameters);
    if (addr + len > kEepromSize) return Refusal(kErrInvalidAddress, {addr});
    std::vector<std::uint8_t> a = {kAck, 0x02, p[0], p[1]};
    a.insert(a.end(), eeprom_.begin() + addr, eeprom_.begin() + addr + static_cast<std::ptrdiff_t>(len));
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
    if (len > kEepromPage) return Refusal(kErrInvalidParameters);
    if (addr + len > kEepromSize) return Refusal(kErrInvalidAddress, {addr});
    if (addr / kEepromPage != (addr + len - 1) / kEepromPage) return Refusal(kErrAcrossPages);
    std::copy_n(p + 2, len, eeprom_.begin() + addr);
    if (onEepromWritten) onEepromWritten();
    std::vector<std::uint8_t> a = {kAck, 0x01, p[0], p[1]};
    AppendAnswerChecksum(a);
    return a;
}

}  // namespace orvan::sim
