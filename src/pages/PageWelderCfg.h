#pragma once
// "Welder CFG": the welder configuration record as editable grids and fields
// on four sub-pages. ShowConfig fills them from the record; ReadPagesIntoConfig
// copies back only what the user changed, so untouched fields stay bit-exact
// even where display units would not convert back to the stored count.
//
// Every value cell is bound to a record field through one table (field key,
// integer or real, how it compares), in the order the write-back walks it.

#include <QStringList>
#include <QWidget>
#include <array>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "features/AnalogCalibration.h"

class QGridLayout;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTabWidget;
class QTableWidget;

namespace orvan::config {
class TWelderCfgBlank;
struct TFieldInfo;
}  // namespace orvan::config
namespace orvan::features {
struct TFieldDifference;
}

namespace orvan::pages {

// One field that differs between the PC and the board, as the verify table
// shows it: where it is on the pages, the values as the pages show them with
// their unit, and the raw values apart.
struct TDifferenceRow {
    std::string key;  // file key, "StandByPower"
    QString where;    // "Welder CFG > Gestione potenza > Uscita analogica > Corrente di stand-by"
    QString pc, board;
    QString pcRaw, boardRaw;
};

// What a write-back did.
struct TWriteBackResult {
    bool ok = true;
    // Why it stopped (a text that is not a number, a setter that could not
    // convert); the operation that asked must not go on.
    QString why;
    // Values the record limited to what its field can hold, one line each
    // (where, typed, stored); their cells now show the stored value.
    QStringList limited;
    int stored = 0;  // fields written
};

class TPageWelderCfg : public QWidget, public features::IAnalogCalibrationView {
    Q_OBJECT
  public:
    static constexpr const char* kCaption = "Welder CFG";
    explicit TPageWelderCfg(QWidget* parent = nullptr);

    // Decimal separator for reals shown and typed (the user's locale).
    void SetDecimalSeparator(char c) { decimal_ = c; }
    char DecimalSeparator() const { return decimal_; }

    // Fixed captions and widths, once.
    void SetUpPages();
    void ShowConfig(const config::TWelderCfgBlank& cfg);
    // The edit marks go when the write-back succeeds, unless kept (the values
    // are then in the record but not yet on the board nor in a file).
    TWriteBackResult ReadPagesIntoConfig(config::TWelderCfgBlank& cfg, bool keepEditMarks = false);

    // Cells the user edited since the pages were last filled or written back.
    bool HasUnwrittenEdits() const { return !edited_.empty(); }
    int UnwrittenEditCount() const { return static_cast<int>(edited_.size()); }
    // Every value cell counts as edited (a configuration restored from a
    // backup is still to be written).
    void MarkAllEdited();
    // Drops the marks (the values reached the board or a file).
    void ClearEditMarks();
    // Tuning log holds a secondary tuning (the struck currents of grid 6).
    void SetWATableStruck(bool on);
    bool WATableStruck() const { return waStruck_; }

    // "Welder CFG > sub-page > group > row" of the field with this file key;
    // empty when the pages do not show it.
    QString FieldPlace(std::string_view key) const;
    // The verify table: each field where the pages show it, in their units.
    std::vector<TDifferenceRow> DifferenceRows(
        const std::vector<features::TFieldDifference>& differences) const;

    // Cell text by (column, row), as the tables of the documentation count them.
    static QString Cell(const QTableWidget* grid, int col, int row);
    static void SetCell(QTableWidget* grid, int col, int row, const QString& text);

    QTabWidget* PgcWelderCfg;
    QWidget* TshCfgInput;
    QWidget* TshCfgAnalogOut;
    QWidget* TshCfgTemperature;
    QWidget* tshAnalogInputTuning;
    QTableWidget* StrGridAnOffsetAverage;  // grid 1
    QTableWidget* strGainAdj;              // grid 2
    QTableWidget* StrGridOptoInFilter;     // grid 3
    QTableWidget* StrGridAnalogOut;        // grid 4
    QTableWidget* StrGridAnalogAnomaly;    // grid 5
    QTableWidget* stgWATable;              // grid 6
    QTableWidget* StrGridTemperature;      // grid 7
    QTableWidget* StrGridPIDSetting;       // grid 8
    QTableWidget* StrGridAnomaly;          // grid 9
    QTableWidget* stgPDTable;              // grid 10
    QPlainTextEdit* memAnalogOutNB;
    QPlainTextEdit* memTableWA;
    QGroupBox* grbTempMQ;
    QGroupBox* grbPID;
    QLineEdit* edtTempCoeffM;
    QLineEdit* edtTempCoeffQ;
    QLineEdit* edtPMCoeffM;
    QLineEdit* edtPMCoeffQ;
    QLineEdit* edtIAlimCoeffM;
    QLineEdit* edtIAlimCoeffQ;

    // --- calibration from live readings (PageWelderCfgCalib.cpp) ----------
    // The record the calibration writes into; its fields are shown from it.
    void SetCalibrationRecord(const config::TWelderCfgBlank* record) { calRecord_ = record; }
    // The fields calibrated show their new values, marked as not written.
    void OnCalibrationStored(const std::vector<std::string>& keys) override;
    // The gain grid: Vin as typed, the factor as shown, a reading after "Get".
    QString GainVinText(int channel) const;
    QString GainFactorText(int channel) const;
    void ShowGainReading(int channel, const features::TGainReading& reading);
    // The four edits of a line fit, and "Get Vmin"/"Get Vmax" into x1/x2.
    features::TLineFitTexts LineFitTexts(features::TFeedbackLine line) const;
    void SetLineVolts(features::TFeedbackLine line, bool maximum, const QString& text);

    std::array<QPushButton*, 6> btnGetGainAdj{};
    std::array<QPushButton*, 6> btnADGain2Table{};
    std::array<QPushButton*, 10> btnGetPD{};
    QPushButton* btnTempGenCoeff = nullptr;
    QLineEdit* edtPMx1 = nullptr;
    QLineEdit* edtPMx2 = nullptr;
    QLineEdit* edtPMy1 = nullptr;
    QLineEdit* edtPMy2 = nullptr;
    QPushButton* btnGetPMVmin = nullptr;
    QPushButton* btnGetPMVmax = nullptr;
    QPushButton* btnPMGenCoeff = nullptr;
    QLineEdit* edtIAlimx1 = nullptr;
    QLineEdit* edtIAlimx2 = nullptr;
    QLineEdit* edtIAlimy1 = nullptr;
    QLineEdit* edtIAlimy2 = nullptr;
    QPushButton* btnGetIalimVmin = nullptr;
    QPushButton* btnGetIalimVmax = nullptr;
    QPushButton* btnIAlimCoeff = nullptr;
    // The power meter's response, with the fitted line after "Get m,q".
    class TResponsePicture* imgPowerMeter = nullptr;
    void ShowPowerMeterFit(const features::TLineFit& fit);
    // The temperature sensor's two-point inputs: built, not shown; its
    // coefficients are fixed.
    QLineEdit* edtTempx1 = nullptr;
    QLineEdit* edtTempx2 = nullptr;
    QLineEdit* edtTempy1 = nullptr;
    QLineEdit* edtTempy2 = nullptr;
    QPushButton* btnGetTempVmin = nullptr;
    QPushButton* btnGetTempVmax = nullptr;

  private:
    // Calibration controls, built into the groups of the sub-pages.
    QWidget* BuildGainButtons(QWidget* parent);
    QWidget* BuildPhotodiodeButtons(QWidget* parent);
    void BuildLineFit(features::TFeedbackLine line, QWidget* box, QGridLayout* layout);

    enum class Kind { Integer, Real };
    struct Binding {
        QTableWidget* grid = nullptr;  // or an edit field
        QLineEdit* edit = nullptr;
        int col = 0;
        int row = 0;
        const config::TFieldInfo* field = nullptr;
        Kind kind = Kind::Integer;
        bool numericCompare = false;
        QString caption;  // an edit field's label
        QString Text() const;
        void SetText(const QString& t) const;
    };

    void Bind(QTableWidget* grid, int col, int row, const char* key, Kind kind,
              bool numeric = false);
    void Bind(QLineEdit* edit, const char* key, Kind kind, const char* caption);
    void BuildBindings();
    QString Format(const Binding& b, const config::TWelderCfgBlank& cfg) const;
    QString Where(const Binding& b) const;
    static QString CellCaption(const Binding& b);
    static QString UnitText(const config::TFieldInfo& f);
    // Stores the cell's text through the field's setter; false with `error`.
    bool Store(const Binding& b, config::TWelderCfgBlank& cfg, TWriteBackResult& result);
    void MarkEdited(const void* where, int col, int row, bool on);

    std::vector<Binding> bindings_;
    std::set<std::tuple<const void*, int, int>> edited_;
    char decimal_ = '.';
    bool filling_ = false;
    bool waStruck_ = false;
    const config::TWelderCfgBlank* calRecord_ = nullptr;
};

}  // namespace orvan::pages
