#pragma once
// What a page of the main window is given to do its work, and the table of
// the window's pages. The window is a shell (menus, tabs, status bar, port);
// each page's wiring connects that page's controls to its controller and to
// the core's operations, and writes that page's widgets only. Where one
// page's result shows on another, the other hears the core or a signal of
// TPageSignals, never the first page.

#include <QObject>
#include <QPointer>
#include <QString>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "app/Dialogs.h"
#include "features/FileKindGuard.h"
#include "features/Operation.h"
#include "features/SupervisorCore.h"
#include "features/VariantForm.h"
#include "link/Clock.h"

namespace orvan::app {

class TConfig;

inline constexpr const char* kApplicationTitle = "Velkor Orvan SuperVisor";

// How an operation's outcome is told: in a box; in the status bar when it
// completed with nothing to add (a page shows what it brought); or always in
// the status bar (status polling, whose end by a time-out has no box).
enum class TTold : std::uint8_t { Box, QuietWhenDone, StatusBar };

using TOutcomeThen = std::function<void(const features::TOperationOutcome&)>;

// A file chosen to be written: a file of another kind is replaced only when
// the user said so.
struct TOutputChoice {
    std::string path;
    bool replaceOtherKind = false;
};

// News that concerns more than one page, carried without naming any page.
class TPageSignals : public QObject {
    Q_OBJECT
  signals:
    // Values of the configuration record changed outside the pages' cells
    // (a current kept by "Welder Tuning").
    void RecordValuesChanged();
    // The record was loaded anew (read from the board, a file, a backup):
    // every page that shows its values shows them again.
    void RecordShown();
    // A line of the traffic log, as the exchange wrote it.
    void TrafficLine(bool transmitted, const std::string& line);
    // "Set welder factory tuning Date/Time" of the Config menu: the date and
    // time are those typed on the page that shows the board's clock.
    void FactoryTuningDateRequested();
};

// The window as its pages see it.
class IPageContext {
  public:
    virtual ~IPageContext() = default;
    // Null once the window closed: a late click then does nothing.
    virtual features::TSupervisorCore* Core() const = 0;
    // Starts an operation of the core; its progress, questions and outcome
    // are rendered by the window, then `then` runs with the outcome.
    virtual bool Run(std::unique_ptr<features::TOperation> op, TTold told = TTold::Box,
                     TOutcomeThen then = {}) = 0;
    virtual IDialogs& Dialogs() const = 0;
    // A save dialog, then the file-kind check. Null when cancelled or refused.
    virtual std::optional<TOutputChoice> ChooseOutput(const TFileRequest& request,
                                                      features::TFileKind kind) = 0;
    virtual void SetPanelText(int panel, const QString& text) = 0;
    // A passing note in the status bar.
    virtual void ShowStatus(const QString& text) = 0;
    // The user's decimal separator, for reals shown and typed.
    virtual char Decimal() const = 0;
    virtual TPageSignals& Signals() = 0;
    // The time source of the run (the system clock, or the tests' own).
    virtual const link::IClock& Clock() const = 0;
    // A refusal of a plain call (nothing was sent) in a box.
    void Tell(const TResult& r) {
        if (!r.ok && !r.why.empty())
            Dialogs().Message(QString::fromLatin1(kApplicationTitle),
                              QString::fromStdString(r.why));
    }
};

// What a page's wiring leaves behind: its connections and attachments, gone
// before the core.
class TPageWiring : public QObject {
  public:
    ~TPageWiring() override = default;
    // The page's own choices kept in the settings file: taken when the
    // window starts, given back when it closes.
    virtual void ApplySettings(const TConfig&) {}
    virtual void StoreSettings(TConfig&) const {}
};

// Start controls of long operations, disabled while their operation runs:
// a read of many seconds cannot be started a second time over itself.
class TStartControls : public features::IOperationView {
  public:
    explicit TStartControls(features::TSupervisorCore& core) : attached_(core, *this) {}
    void Add(const std::string& operation, QWidget* control) {
        controls_.push_back({operation, control});
    }

  private:
    void OnOperationStarted(const std::string& operation) override { Enable(operation, false); }
    void OnOperationFinished(const features::TOperationOutcome& o) override {
        Enable(o.operation, true);
    }
    void Enable(const std::string& operation, bool on) {
        for (const auto& [name, control] : controls_)
            if (name == operation && control) control->setEnabled(on);
    }

    std::vector<std::pair<std::string, QPointer<QWidget>>> controls_;
    features::TAttachment<TStartControls> attached_;
};

// One page of the window: made when the window is built, wired once the
// core exists.
struct TPageEntry {
    const char* caption;  // on the page's tab
    QWidget* (*make)(QWidget* parent);
    std::unique_ptr<TPageWiring> (*wire)(QWidget* page, IPageContext& context);
    // A machine's page has a tab only while the board may have that machine.
    std::optional<features::Variant> machine;
};

// The window's pages in tab order. A new page is one line of this table.
const std::vector<TPageEntry>& PageTable();

template <typename Page, std::unique_ptr<TPageWiring> (*Wire)(Page&, IPageContext&)>
TPageEntry PageEntry(std::optional<features::Variant> machine = std::nullopt) {
    return {Page::kCaption, [](QWidget* parent) -> QWidget* { return new Page(parent); },
            [](QWidget* page, IPageContext& c) { return Wire(*static_cast<Page*>(page), c); },
            machine};
}

}  // namespace orvan::app
