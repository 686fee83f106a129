#pragma once
// The EEPROM page's sequences, on the EEPROM tools (TEepromTools): typed text
// written at an address, raw reads listed, the dump of the whole memory (kept
// in a file when asked), the format (never without a dump file first) and the
// restore of a dump file (written page by page, then read back and compared
// byte for byte).
//
// Dump, format and restore run one at a time and each ends with exactly one
// outcome: completed, or stopped with the phase it stopped in and why.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "commands/BoardView.h"
#include "commands/Session.h"
#include "features/EepromImage.h"
#include "features/EepromTools.h"
#include "features/TypedInput.h"

namespace orvan::features {

enum class TEepromOp : std::uint8_t { Dump, Format, Restore };
enum class TEepromPhase : std::uint8_t {
    Identify,  // the board's serial number (restore)
    Confirm,   // waiting for the user's word on a serial number that differs
    Dump,      // reading the 1024 bytes
    SaveDump,  // keeping them in the file
    Write,     // the 32 pages
    ReadBack,  // reading them again to compare (restore)
};

struct TEepromOutcome {
    TEepromOp op = TEepromOp::Dump;
    bool completed = false;
    TEepromPhase phase = TEepromPhase::Dump;   // where it ended
    int done = 0, total = 0;                   // of that phase (chunks or pages)
    std::string reason;                        // why it stopped
    std::string message;                       // one line for the user
    std::string dumpPath;                      // the file written (dump, format)
    std::vector<TByteDifference> differences;  // restore: what the board did not keep
};

class IEepromListener {
  public:
    virtual ~IEepromListener() = default;
    virtual void OnEepromProgress(TEepromOp /*op*/, TEepromPhase /*phase*/, int /*done*/,
                                  int /*total*/) {}
    // A restore found a board whose serial number differs from the dump's:
    // the front end asks, then calls ContinueRestore (it may do so later).
    virtual void OnRestoreNeedsConfirmation(const std::string& /*boardSerial*/,
                                            const std::string& /*dumpSerial*/) {}
    // Exactly once per started operation; the tools are idle again by then.
    virtual void OnEepromFinished(const TEepromOutcome& outcome) = 0;
};

class TEepromManager : public commands::IIdentityView,
                       public commands::IMemoryView,
                       public IEepromView {
  public:
    TEepromManager(commands::TSession& session, TEepromTools& tools)
        : session_(session), tools_(tools) {
        tools_.Views().Add(*this);
    }
    TEepromManager(const TEepromManager&) = delete;
    TEepromManager& operator=(const TEepromManager&) = delete;
    void SetListener(IEepromListener* listener) { listener_ = listener; }

    // "Write selected byte": the text at the typed address, one request.
    TToolResult WriteText(std::string_view addressText, std::string_view text);
    // "Read EEPROM": one request, listed in the grid.
    TToolResult ReadRaw(std::string_view addressText, std::string_view lengthText);

    // "Dump entire EEPROM": the 1024 bytes, listed; kept in `savePath`
    // unless it is empty.
    TToolResult Dump(const std::string& savePath = {});
    // "Format": a dump saved in `dumpPath` first, then 32 pages of 0xFF.
    TToolResult Format(const std::string& dumpPath);
    // "Write dump file to board": the file's 1024 bytes, then read back.
    TToolResult Restore(const std::string& path);
    // The user's answer to OnRestoreNeedsConfirmation.
    void ContinueRestore(bool go);

    bool Busy() const { return op_.has_value(); }
    // The last complete image read from the board in this session.
    const std::optional<TEepromImage>& LastDump() const { return lastDump_; }
    // While an operation runs and the exchange has nothing left to do, its
    // next request was never queued: the operation is stopped.
    void NoteExchangeIdle();

    // Board events.
    void OnSerialNumber(const std::string& text) override;
    void OnSequenceStopped(commands::Sequence s, int purpose, const std::string& why) override;
    // The EEPROM tools' events.
    void OnEepromDumpRows(const std::vector<commands::MemoryRow>& rows) override;
    void OnEepromDumpFinished(const TSequenceOutcome& outcome) override;
    void OnEepromFormatProgress(std::uint16_t nextAddress) override;
    void OnEepromFormatFinished(const TSequenceOutcome& outcome) override;

  private:
    TToolResult Begin(TEepromOp op);
    void StartDump(TEepromPhase phase);
    void DumpComplete();
    void StartWrite();
    void Progress();
    void Stop(const std::string& reason);
    void Finish(TEepromOutcome o);

    commands::TSession& session_;
    TEepromTools& tools_;
    IEepromListener* listener_ = nullptr;
    std::optional<TEepromOp> op_;
    TEepromPhase phase_ = TEepromPhase::Dump;
    int done_ = 0;
    std::string path_;
    TEepromImage image_{};   // what is written (format, restore)
    TEepromImage read_{};    // what the board answers
    std::vector<bool> got_;  // bytes of read_ that came
    std::size_t received_ = 0;
    std::optional<TEepromImage> lastDump_;
};

const char* EepromOpText(TEepromOp op);

}  // namespace orvan::features
