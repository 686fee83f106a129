#pragma once
// The power meter's response picture on "Feedback analogici": power (W, 0 to
// 100) against the feedback voltage (V, 0 to 10), with the line "Get m,q"
// fitted through the technician's two points.

#include <QWidget>
#include <optional>

namespace orvan::pages {

class TResponsePicture : public QWidget {
    Q_OBJECT
  public:
    static constexpr int kWidth = 345;
    static constexpr int kHeight = 285;
    explicit TResponsePicture(QWidget* parent = nullptr);

    // The fitted line through (v1 V, w1 W) and (v2 V, w2 W).
    void ShowLine(double v1, double w1, double v2, double w2);
    void ClearLine();
    bool HasLine() const { return line_.has_value(); }
    // Where a point lands in the picture (pixels from its top left).
    static QPoint At(double volts, double watts);

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    struct TLine {
        double v1, w1, v2, w2;
    };
    std::optional<TLine> line_;
};

}  // namespace orvan::pages
