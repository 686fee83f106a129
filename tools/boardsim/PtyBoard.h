#pragma once
// The simulated board on a pseudo-terminal: the tool opens the slave side as
// its serial port, the simulator answers on the master side. Requests are
// "COBS"-prefixed COBS frames ended by a zero; answers are sent the same way,
// paced at the line speed the tool set on the port.
//
// Or on a loopback TCP port, as a serial device server in raw mode shows a
// board: one client at a time, the line speed fixed on this side.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "boardsim/BoardModel.h"

namespace orvan::sim {

// Faults a run can switch on; several may be combined.
struct BoardFaults {
    int answerDelayMs = 0;  // wait before answering
    int bursts = 1;         // answer split into this many bursts...
    int burstGapMs = 0;     // ...separated by this gap
    bool noAnswer = false;  // requests are taken but never answered
    bool babble = false;    // the line carries endless random bytes
    bool garbage = false;   // each answer is replaced by random bytes
    bool overlong = false;  // each answer is sent as a frame of more than 256 bytes
    int forceError = 0;     // every request is refused with this board error code (1-255)
};

// Parses the incoming byte stream into request bodies.
class TRequestFramer {
  public:
    enum class Verdict { Incomplete, Request, BadChecksum, Ignored };
    // Feeds one byte; on Request, body holds type..payload (checksum removed).
    Verdict Feed(std::uint8_t b, std::vector<std::uint8_t>& body);

  private:
    std::vector<std::uint8_t> pending_;
};

// The bytes of an answer frame on the wire.
std::vector<std::uint8_t> FrameAnswerBytes(const std::vector<std::uint8_t>& answer);

class TPtyBoard {
  public:
    // eepromFile empty: the EEPROM lives in memory only.
    explicit TPtyBoard(std::string eepromFile = {});
    ~TPtyBoard();
    TPtyBoard(const TPtyBoard&) = delete;
    TPtyBoard& operator=(const TPtyBoard&) = delete;

    // Creates the pseudo-terminal; false with `error` filled on failure.
    [[nodiscard]] bool Open(std::string* error = nullptr);
    // Serves on 127.0.0.1:`port` instead (0: a free port the system picks),
    // answering at `lineSpeed` bit/s. A second client while one is served
    // is told "Port already in use" and disconnected, as a serial device
    // server does by default.
    [[nodiscard]] bool OpenTcp(std::uint16_t port, unsigned lineSpeed,
                               std::string* error = nullptr);
    // The pseudo-terminal's path, or "tcp://127.0.0.1:PORT".
    const std::string& DevicePath() const { return slavePath_; }
    // Clients taken and clients turned away (TCP only).
    int ClientsServed() const { return clients_.load(); }
    int ClientsRefused() const { return refused_.load(); }

    // Serves until Stop(); Start() runs it on a thread of its own.
    void Serve();
    void Start();
    void Stop();

    // The model and the faults may be changed between exchanges; the lock
    // guards them against the serving thread.
    template <typename F>
    void WithModel(F&& f) {
        std::lock_guard<std::mutex> g(mutex_);
        f(model_, faults_);
    }
    void SetFaults(const BoardFaults& faults) {
        std::lock_guard<std::mutex> g(mutex_);
        faults_ = faults;
    }

    // Answers each request instead of the model (a replayed capture): the
    // bytes to send, as the line carries them, or nothing to stay silent.
    // Set before Start().
    using Responder =
        std::function<std::optional<std::vector<std::uint8_t>>(const std::vector<std::uint8_t>&)>;
    void SetResponder(Responder r) {
        std::lock_guard<std::mutex> g(mutex_);
        responder_ = std::move(r);
    }

    // Line speed the tool set (bits per second), 0 before it opened the port.
    unsigned LineSpeed() const;
    int RequestsServed() const { return served_.load(); }
    std::string LastError() const;

    // Loads the EEPROM file, or creates it with the default content.
    bool LoadOrCreateEeprom(std::string* error);

  private:
    struct Pending {
        std::chrono::steady_clock::time_point due;
        std::vector<std::uint8_t> bytes;
    };
    void Step(std::chrono::milliseconds wait);
    void HandleBody(const std::vector<std::uint8_t>& body, TRequestFramer::Verdict verdict);
    void Schedule(std::vector<std::uint8_t> wire, int delayMs, int bursts, int gapMs);
    void Flush();
    void SaveEeprom();
    void AcceptClient();
    void DropClient();
    // Where the board's bytes come and go: the pseudo-terminal's master, or
    // the TCP client (-1 while none is connected).
    int Stream() const { return listen_ >= 0 ? client_ : master_; }

    std::string eepromFile_;
    int master_ = -1;
    int slave_ = -1;  // held open so the master never sees a hang-up between tool sessions
    std::string slavePath_;
    int listen_ = -1;
    int client_ = -1;
    unsigned tcpSpeed_ = 0;
    std::atomic<int> clients_{0};
    std::atomic<int> refused_{0};
    mutable std::mutex mutex_;
    TBoardModel model_;
    BoardFaults faults_;
    TRequestFramer framer_;
    std::deque<Pending> out_;
    std::chrono::steady_clock::time_point nextByteAt_{};
    // When the last request byte written by the tool would have finished
    // arriving on a real line: a board cannot answer before that.
    std::chrono::steady_clock::time_point requestEndsAt_{};
    Responder responder_;
    std::chrono::steady_clock::time_point nextBabbleAt_{};
    std::mt19937 rng_{12345};
    std::atomic<bool> stop_{false};
    std::atomic<int> served_{0};
    std::thread thread_;
    std::string lastError_;
};

// A plausible EEPROM for a new simulated board: a serial number and a
// configuration image whose checksum is right, and an event log.
std::array<std::uint8_t, kEepromSize> DefaultEeprom();
// The event log (784..1014) of a source a year or so in the field: nine
// records, the rest erased.
void WriteSampleEventLog(std::array<std::uint8_t, kEepromSize>& eeprom);

// The configuration image's filler bytes (image offsets 1, 43, 51, 218 to
// 381) set to `value`, as a board programmed by other means may hold them;
// the checksum is made right again (three of them lie inside its range).
void SetImageFiller(std::array<std::uint8_t, kEepromSize>& eeprom, std::uint8_t value);
// The image's Version and Size set to another layout, its checksum made
// right again.
void SetImageLayout(std::array<std::uint8_t, kEepromSize>& eeprom, std::uint8_t version,
                    std::uint16_t size);

}  // namespace orvan::sim
