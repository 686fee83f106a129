#pragma once
// The welder's event log: the last changes of tuning and current settings,
// 21 records of 11 bytes at EEPROM 784..1014. The read is a memory chain
// under purpose 5; the bytes live in `eventLog` only while it runs and are
// decoded into lines once its last chunk has arrived.
//
// The decoder never reads past the bytes it is given: a short or odd-sized
// buffer gives the whole records it holds and a note saying what was missing.

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "commands/BoardEvents.h"
#include "commands/Session.h"
#include "features/FeatureOutcome.h"
#include "link/Result.h"

namespace orvan::features {

inline constexpr std::size_t kEventRecordSize = 11;
inline constexpr std::size_t kEventRecords = 21;
// A record whose time reads this ends the list (erased EEPROM).
inline constexpr std::uint32_t kEventListEnd = 0xFFFFFFFF;
static_assert(kEventRecordSize * kEventRecords == commands::kEventLogSize);

// One record as the board keeps it (little-endian on the board).
struct TEventRecord {
    std::uint32_t time = kEventListEnd;  // seconds since 1970, calendar time of the board
    std::array<std::uint16_t, 3> value{};
    std::uint8_t type = 0;
    bool operator==(const TEventRecord&) const = default;
};

// One row of "Welder Event Log".
struct TEventLine {
    int n = 0;
    TEventRecord record;
    std::string dateTime;     // "dd/mm/yyyy hh:mm:ss"
    std::string value;        // the value text of its type
    std::string description;  // empty for a type the program does not know
};

struct TEventLogDecode {
    std::vector<TEventLine> lines;
    // Empty when the buffer held the whole log; otherwise what was missing.
    std::string problem;
};

// Record n (0..20) of a buffer that holds it whole.
TEventRecord EventRecordAt(std::span<const std::uint8_t> bytes, std::size_t n);
// The 11 bytes of a record (the simulator and the tests build logs with it).
std::array<std::uint8_t, kEventRecordSize> EventRecordBytes(const TEventRecord& r);

std::string EventDescription(std::uint8_t type);
// Numbers as the program shows reals (up to 15 significant digits) with
// `decimal` as the separator.
std::string EventValueText(const TEventRecord& r, char decimal = '.');
// The board's calendar seconds as "dd/mm/yyyy hh:mm:ss" (no time zone: the
// board's clock holds the local time of the machine).
std::string EventTimeText(std::uint32_t seconds);

// Records from the first while their time is not kEventListEnd, at most 21.
TEventLogDecode DecodeEventLog(std::span<const std::uint8_t> bytes, char decimal = '.');

// orvan-cli's forms: one tab-separated line, one JSON object (no line break).
std::string EventLineText(const TEventLine& line);
std::string EventLineJson(const TEventLine& line);

class IEventLogView {
  public:
    virtual ~IEventLogView() = default;
    // log: the decoded lines when completed, none when stopped.
    virtual void OnEventLogRead(const TSequenceOutcome& /*outcome*/,
                                const TEventLogDecode& /*log*/) {}
};

class TEventLog : public commands::IMemoryView {
  public:
    explicit TEventLog(commands::TSession& session) : session_(session) {}

    commands::TFanout<IEventLogView>& Views() { return views_; }

    // btnReadEventLog. Like the other memory reads started by the user, it
    // takes over a chain that runs (which then ends as stopped).
    TResult StartEventLogRead();
    bool Running() const { return running_; }

    // --- state -----------------------------------------------------------
    // Exists only while the event log is read; every byte starts erased
    // (0xFF), so a record that never arrived reads as the end of the list.
    std::vector<std::uint8_t> eventLog;
    // The bytes of the last read that came whole, as they were read.
    std::vector<std::uint8_t> lastEventLog;
    // Decimal separator of the value texts.
    char decimalSeparator = '.';

    // Board events.
    void OnChainStarted(int purpose) override;
    void OnChainChunk(int purpose, std::uint16_t address,
                      std::span<const std::uint8_t> data) override;
    void OnChainEnd(int purpose) override;
    void OnSequenceStopped(commands::Sequence s, int purpose, const std::string& why) override;

  private:
    commands::TSession& session_;
    commands::TFanout<IEventLogView> views_;
    bool running_ = false;
};

}  // namespace orvan::features
