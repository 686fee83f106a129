#pragma once
// Common body of TfraAnomaly and TfraHorizBit: a row (or column) of square
// indicators built at run time from a hidden template shape and label, one
// per bit of a word, red when the bit is set. A frame never holds more than
// its capacity, whatever count it is asked to build.

#include <QFrame>
#include <QPoint>
#include <cstdint>
#include <vector>

class QLabel;

namespace orvan::frames {

class TShape;

class TBitRowFrame : public QFrame {
    Q_OBJECT
  public:
    void SetIndicatorSpacing(std::uint16_t pixels) { spacing_ = pixels; }
    std::uint16_t IndicatorSpacing() const { return spacing_; }
    // Builds min(count, capacity) indicators, after removing every existing one.
    void BuildIndicators(int count);
    void SetIndicatorName(int index, const QString& text);
    // Bit i colours indicator i. The word is wide enough for all forty heads
    // of the multi-head page; a 32-bit word leaves indicators 32 to 39 white.
    void ShowBitWord(std::uint64_t word);

    int Capacity() const { return capacity_; }
    std::uint8_t Count() const { return count_; }
    TShape* Shape(int i) const;
    QLabel* Label(int i) const;
    TShape* TemplateShape() const { return shpTemplate_; }
    QLabel* TemplateLabel() const { return lblTemplate_; }

  protected:
    // step: the direction one spacing moves the next indicator.
    TBitRowFrame(int capacity, QPoint step, QWidget* parent);

    TShape* shpTemplate_ = nullptr;
    QLabel* lblTemplate_ = nullptr;

  private:
    int capacity_;
    QPoint step_;
    std::uint16_t spacing_ = 0;
    std::uint8_t count_ = 0;
    std::vector<TShape*> shapes_;
    std::vector<QLabel*> labels_;
};

}  // namespace orvan::frames
