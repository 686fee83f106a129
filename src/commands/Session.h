#pragma once
// The session: the state the window keeps about the board and the running
// sequences, in one core object so the window, the command-line companion and
// the tests share the very same state and sequences. ProcessAnswer,
// DecodeVariable and DecodeMemory work on it; ReadMemoryRange and the block
// writers run the chains.
//
// Sequences advance only from the answer to the request they sent: a memory
// chain takes an answer only when it carries the address of the chain's
// outstanding request, a block write continues only on the acknowledge of the
// block it sent. A refusal, a corrupted answer or a receive time-out ends the
// sequence whose request it answered and resets the read purpose.

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "commands/BoardEvents.h"
#include "commands/Builders.h"
#include "link/Comprotocol.h"
#include "link/ExchangeCycle.h"
#include "link/MemoryMap.h"
#include "link/NumberText.h"

namespace orvan::commands {

// Read purposes of a memory chain.
enum ReadPurpose : int {
    kPurposeRaw = 1,
    kPurposeSerialNumber = 2,
    kPurposeConfigUpload = 3,
    kPurposeTuningLog = 4,
    kPurposeEventLog = 5,
    kPurposeFlangingProfiles = 6,
    kPurposeEepromDump = 7,
    kPurposeKeep = 8,  // what an operation will overwrite, read to keep it
};

// The board memory map (link/MemoryMap.h), by the names the command layer uses.
using link::kConfigBlocks;
using link::kConfigBlockSize;
using link::kConfigImageAddress;
using link::kConfigImageSize;
using link::kEepromPageSize;
using link::kEepromSize;
using link::kEventLogAddress;
using link::kEventLogSize;
using link::kTuningLogAddress;
using link::kTuningLogSize;

class TSession {
  public:
    TSession(link::TComProtocol& protocol, TBoardEvents& events, INotifier& notifier)
        : protocol_(protocol), events_(events), notifier_(notifier) {}
    TSession(const TSession&) = delete;
    TSession& operator=(const TSession&) = delete;

    link::TComProtocol& Protocol() { return protocol_; }
    TBoardEvents& Events() { return events_; }
    INotifier& Notifier() { return notifier_; }

    // --- state -----------------------------------------------------------
    int readPurpose = kPurposeRaw;
    std::uint16_t rangeCursor = 0;
    std::uint16_t rangeEnd = 0;

    std::array<std::uint8_t, kConfigImageSize> configImage{};

    bool uploadThenTuningLog = true;  // the running upload goes on with the tuning log
    bool downloadActive = false;
    std::uint8_t chunkCounter = 0;

    std::uint16_t boardType = 0;
    std::array<std::uint8_t, 3> firmwareVersion{};
    std::array<std::uint8_t, 3> protocolVersion{};
    std::string serialNumber;
    std::array<std::uint16_t, 6> analogRaw{};  // channel order
    std::array<double, 6> analogVolts{};       // filled by the status feature
    bool configLoaded = false;

    std::uint32_t BoardProtocolVersion() const { return protocol_.BoardProtocolVersion; }

    // --- memory chains ----------------------------------------------------
    // Queues the next chunk of the running range (or, with restart, the first
    // one of start..end). True when nothing more is to be asked: the whole
    // range was requested, or the request could not be queued (then the
    // chain is reported stopped, with the reason).
    bool ReadMemoryRange(std::uint16_t start, std::uint16_t end, bool restart);
    // Sets the purpose and starts a range (OnChainStarted). A chain still
    // running is superseded, and reported stopped so whoever waited for it
    // knows; a first request that cannot be queued is reported stopped too.
    void StartChain(int purpose, std::uint16_t start, std::uint16_t end);
    bool ChainRunning() const { return pendingChunk_.has_value(); }
    // The last chunk came: nothing outstanding, the purpose at rest.
    void ResetChain() {
        pendingChunk_.reset();
        readPurpose = kPurposeRaw;
    }

    // Hardware information: BoardType, serial number (purpose 2), firmware
    // and protocol versions, in this order.
    void RequestHardwareInfo();
    // Configuration upload: purpose 3 over 16..400, then the tuning-log chain
    // (purpose 4) unless told otherwise (a read only to compare or to keep a
    // backup).
    void StartConfigUpload(bool thenTuningLog = true);
    // One raw read listed in the EEPROM grid.
    SendResult ReadRaw(std::uint16_t address, std::uint8_t count);

    // --- block writes -----------------------------------------------------
    // One 16-byte block of configImage; restart begins at block 0.
    void SendConfigChunk(bool restart);
    // Sends configImage (prepared by the caller) in 24 blocks.
    void StartConfigDownload() { SendConfigChunk(true); }
    // One block written for a feature's sequence: its acknowledge is reported
    // (OnWriteAcknowledged), a refusal or time-out stops it (MemoryWrite).
    // One at a time: refused while another block is unacknowledged.
    SendResult WriteBlock(std::uint16_t address, std::span<const std::uint8_t> data);
    bool WritePending() const { return pendingWrite_.has_value(); }
    // A WriteMemory of other senders (typed bytes, serial number): it ends a
    // configuration download first (reported stopped) so its acknowledge
    // continues nothing.
    SendResult WriteMemoryBytes(std::uint16_t address, std::span<const std::uint8_t> data);

    // --- engine events ----------------------------------------------------
    // The request that just went out (TSessionCycle tells; tests may too).
    void NoteSent(const link::TCmd& cmd);
    // The answer never came: `why` is "RX TimeOut", or what happened to the
    // port when its device went away.
    void OnRxTimeout(const std::string& why = std::string(link::kLinkTimeout));
    // True while a message box is open: the exchange must not tick.
    bool ExchangePaused() const { return boxOpen_ > 0; }

    // --- used by ProcessAnswer / DecodeMemory ------------------------------
    struct SentRequest {
        std::uint8_t type = 0;
        std::uint16_t address = 0;  // memory requests
        std::uint8_t count = 0;     // ReadMemory
    };
    struct PendingChunk {
        std::uint16_t address = 0;
        std::uint8_t count = 0;
    };
    const std::optional<SentRequest>& Sent() const { return sent_; }
    const std::optional<PendingChunk>& PendingChunkRequest() const { return pendingChunk_; }

    void HandleWriteAck(std::uint16_t address);
    void HandleStartAnswer(std::uint8_t type, std::uint8_t status);
    // A refusal or a corrupted answer ends the sequence its request belonged
    // to (every waiting sequence when the request is not known).
    void EndRefusedSequence(const std::string& why);
    void EndChain(const std::string& why);
    void ShowRefusal(std::string_view text);
    void ShowMissingAck();
    void AnswerDone() { sent_.reset(); }

  private:
    void EndDownload(const std::string& why);
    void EndWrite(const std::string& why);

    link::TComProtocol& protocol_;
    TBoardEvents& events_;
    INotifier& notifier_;
    std::optional<SentRequest> sent_;
    std::optional<PendingChunk> pendingChunk_;
    std::optional<std::uint16_t> pendingWrite_;
    int boxOpen_ = 0;
};

// Copies the part of `data` (board memory from `address`, n bytes) that falls
// inside `dst` (board memory from `base`), and nothing else; false when none
// of it does.
bool CopyInside(std::span<std::uint8_t> dst, std::uint16_t base, std::uint16_t address,
                const std::uint8_t* data, std::size_t n);

// The text of a refusal answer (0x0F, code, values).
std::string RefusalText(const std::uint8_t* answer, std::size_t available);

// Every decoded answer the exchange cycle receives. `data` must hold the whole
// 256-byte decoded buffer the engine hands on (zero beyond the answer).
void ProcessAnswer(TSession& session, const std::uint8_t* data, std::uint8_t lengthLow);
// The same for an answer of any size (copied into a zero-filled buffer first).
void ProcessAnswer(TSession& session, std::span<const std::uint8_t> answer, std::uint8_t lengthLow);

// A ReadVariable answer's value: `value` points at the first value byte and
// `available` bytes can be read from it.
void DecodeVariable(TSession& session, std::uint16_t code, const std::uint8_t* value,
                    std::size_t available);
// A ReadMemory answer: `content` points at the address (answer position 2),
// `available` bytes can be read from it.
void DecodeMemory(TSession& session, const std::uint8_t* content, std::size_t available,
                  std::uint8_t lengthLow);

// Number texts (link/NumberText.h), by the names the command layer uses.
using link::NumberText;
using link::RoundedText;
using link::VersionText;
MemoryRow MakeMemoryRow(std::uint16_t address, const std::uint8_t* bytes, std::size_t count);

}  // namespace orvan::commands
