// Decoding of ReadMemory answers, and the read-purpose handling of memory
// chains (ReadVariable answers: VariableDecoding.cpp).

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>

#include "commands/Session.h"
#include "link/ByteOrder.h"

namespace orvan::commands {

namespace {

std::string Hex(std::uint32_t v, int digits) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%0*X", digits, v);
    return buf;
}

}  // namespace

MemoryRow MakeMemoryRow(std::uint16_t address, const std::uint8_t* bytes, std::size_t count) {
    MemoryRow row;
    row.address = address;
    row.bytes.assign(bytes, bytes + count);
    row.addressText = Hex(address, 4);
    for (std::size_t i = 0; i < count; ++i) {
        row.hexText += Hex(bytes[i], 2) + " ";
        const unsigned char c = bytes[i];
        row.asciiText.push_back(c >= 0x20 && c < 0x7F ? static_cast<char>(c) : '.');
    }
    return row;
}

void DecodeMemory(TSession& session, const std::uint8_t* content, std::size_t available,
                  std::uint8_t lengthLow) {
    TBoardEvents& view = session.Events();
    if (available < 2) return;
    const auto address = static_cast<std::uint16_t>((content[0] << 8) | content[1]);
    const std::uint8_t* data = content + 2;
    // Four bytes before the data, three after it: the length value less 11.
    int n = static_cast<int>(lengthLow) - 11;
    n = std::min<int>(n, static_cast<int>(available - 2));

    const auto& chunk = session.PendingChunkRequest();
    const auto& sent = session.Sent();
    const bool ours = chunk && session.readPurpose != kPurposeRaw && address == chunk->address &&
                      (!sent || (sent->type == kReadMemory && sent->address == address));
    if (!ours && chunk && session.readPurpose != kPurposeRaw && sent && sent->type == kReadMemory &&
        sent->address == chunk->address) {
        // The chain's own request came back for another address: its data
        // cannot stand for the range asked.
        const std::string why = "memory answer at " + std::to_string(address) + ", " +
                                std::to_string(chunk->address) + " was asked";
        view.Notify(&ILinkView::OnAnswerIgnored, why);
        session.EndChain(why);
        return;
    }
    if (!ours) {
        // A raw read, or an answer that no running chain asked for: listed,
        // never copied into an image.
        const int cap = sent && sent->type == kReadMemory ? sent->count : kMaxReadChunk;
        n = std::min(n, cap);
        if (n <= 0) {
            view.Notify(&ILinkView::OnAnswerIgnored,
                        "memory answer at " + std::to_string(address) + " carries no data");
            return;
        }
        std::vector<MemoryRow> rows;
        for (int off = 0; off < n; off += 16)
            rows.push_back(MakeMemoryRow(static_cast<std::uint16_t>(address + off), data + off,
                                         static_cast<std::size_t>(std::min(16, n - off))));
        view.Notify(&IMemoryView::OnMemoryRows, rows);
        return;
    }
    if (n < chunk->count) {
        const std::string why = "memory answer at " + std::to_string(address) + " carries " +
                                std::to_string(std::max(n, 0)) + " bytes, " +
                                std::to_string(chunk->count) + " asked";
        view.Notify(&ILinkView::OnAnswerIgnored, why);
        session.EndChain(why);
        return;
    }
    n = chunk->count;  // never more than asked
    const std::size_t count = static_cast<std::size_t>(n);

    // The next request goes out before anyone hears of this chunk, so a
    // listener that starts another read supersedes the rest of this chain.
    const int purpose = session.readPurpose;
    const bool more = session.rangeCursor < session.rangeEnd;
    if (more && session.ReadMemoryRange(0, 0, false)) return;  // stopped: not queued
    const bool last = !more;
    if (last) session.ResetChain();
    switch (purpose) {
        case kPurposeSerialNumber:
            if (last) {
                if (data[0] != 0) {
                    const std::size_t len = std::min<std::size_t>(
                        std::find(data, data + count, std::uint8_t{0}) - data, 15);
                    session.serialNumber.assign(reinterpret_cast<const char*>(data), len);
                }
                view.Notify(&IIdentityView::OnSerialNumber, session.serialNumber);
            }
            break;
        case kPurposeConfigUpload:
            CopyInside(session.configImage, kConfigImageAddress, address, data, count);
            ++session.chunkCounter;
            view.Notify(&IMemoryView::OnConfigUploadProgress, session.chunkCounter);
            if (last) {
                // The tuning log follows the configuration, under its own
                // purpose; otherwise the purpose rests before the view hears
                // of the image, whose handler may start the next read at once.
                if (session.uploadThenTuningLog)
                    session.StartChain(
                        kPurposeTuningLog, kTuningLogAddress,
                        static_cast<std::uint16_t>(kTuningLogAddress + kTuningLogSize));
                view.Notify(&IMemoryView::OnConfigImageComplete, session.configImage);
            }
            break;
        default:
            // A feature's chain: the bytes as asked, then its end.
            view.Notify(&IMemoryView::OnChainChunk, purpose, address,
                        std::span<const std::uint8_t>(data, count));
            if (last) view.Notify(&IMemoryView::OnChainEnd, purpose);
            break;
    }
}

}  // namespace orvan::commands
