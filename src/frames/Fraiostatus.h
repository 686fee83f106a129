#pragma once
// TfraIOStatus: a fixed column of twelve round indicators for one group of
// opto-isolated inputs or outputs. Besides showing a status word, the user
// marks indicators as forced on (black, Ctrl+press) or forced off (white,
// Shift+press), and Alt+press clears a mark; the masks of the marks feed the
// I/O force command.

#include <QFrame>
#include <array>
#include <cstdint>

class QLabel;

namespace orvan::frames {

class TShape;

class TfraIOStatus : public QFrame {
    Q_OBJECT
  public:
    static constexpr int kCount = 12;
    static constexpr int kStep = 21;

    explicit TfraIOStatus(QWidget* parent = nullptr);

    void ShowBitWord(std::uint32_t word);
    void SelectIndicator(int index);
    void SetSelectedName(const QString& text);
    std::uint32_t ForcedOnMask() const;
    std::uint32_t ForcedOffMask() const;
    void ShowForcedOff(std::uint32_t mask);
    void ShowForcedOn(std::uint32_t mask);

    // Views for the window and the tests.
    TShape* Shape(int i) const { return (i >= 0 && i < kCount) ? shapes_[i] : nullptr; }
    QLabel* Label(int i) const { return (i >= 0 && i < kCount) ? labels_[i] : nullptr; }
    QColor Colour(int i) const;
    int SelectedIndicator() const { return selected_; }

  public slots:
    void IndicatorMouseDown(int tag, Qt::KeyboardModifiers modifiers);

  private:
    TShape* shpTemplate_;
    QLabel* lblTemplate_;
    std::array<TShape*, kCount> shapes_{};
    std::array<QLabel*, kCount> labels_{};
    // Out of range until SelectIndicator names one, so SetSelectedName does nothing.
    int selected_ = -1;
};

}  // namespace orvan::frames
