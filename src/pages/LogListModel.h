#pragma once
// The lines of a traffic log, for a list view. The logs are never trimmed, so
// lines are kept packed in blocks of characters with one 8-byte locator per
// line (a growing single buffer would copy the whole log on each doubling),
// and turned into a QString only when the view asks for a row it shows.

#include <QAbstractListModel>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace orvan::pages {

class TLogListModel : public QAbstractListModel {
    Q_OBJECT
  public:
    explicit TLogListModel(QObject* parent = nullptr) : QAbstractListModel(parent) {}

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;

    // Adds a line at the end (the log lines are plain ASCII).
    void Append(std::string_view line);
    void Clear();
    int Count() const { return static_cast<int>(lines_.size()); }
    std::string_view Line(int row) const;
    // Bytes the model holds for its lines, reserve included.
    std::size_t MemoryBytes() const;

    static constexpr std::size_t kBlockSize = std::size_t{1} << 20;

  private:
    // A locator: first byte (block << 20 | offset) in the high 40 bits, length
    // in the low 24 bits; a longer line is cut to 16 MiB.
    static constexpr unsigned kLengthBits = 24;
    std::vector<std::unique_ptr<char[]>> blocks_;
    std::vector<std::size_t> blockSizes_;  // allocated size of each block
    std::size_t used_ = 0;                 // bytes used in the last block
    std::vector<std::uint64_t> lines_;
};

}  // namespace orvan::pages
