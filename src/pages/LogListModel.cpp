#include "pages/LogListModel.h"

#include <algorithm>

namespace orvan::pages {

int TLogListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : Count();
}

std::string_view TLogListModel::Line(int row) const {
    if (row < 0 || row >= Count()) return {};
    const std::uint64_t loc = lines_[static_cast<std::size_t>(row)];
    const std::size_t length = loc & ((std::uint64_t{1} << kLengthBits) - 1);
    const std::uint64_t start = loc >> kLengthBits;
    return {blocks_[start >> 20].get() + (start & (kBlockSize - 1)), length};
}

QVariant TLogListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= Count()) return {};
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole) return {};
    const std::string_view l = Line(index.row());
    return QString::fromLatin1(l.data(), static_cast<qsizetype>(l.size()));
}

void TLogListModel::Append(std::string_view line) {
    if (line.size() >= (std::size_t{1} << kLengthBits))
        line = line.substr(0, (std::size_t{1} << kLengthBits) - 1);
    // A line never straddles two blocks; one longer than a block gets a block
    // of its own size.
    // The offset inside a block must stay below 2^20, which a block holding
    // one long line reaches at once.
    if (blocks_.empty() || used_ + line.size() > blockSizes_.back() || used_ >= kBlockSize) {
        const std::size_t size = std::max(kBlockSize, line.size());
        blocks_.push_back(std::make_unique<char[]>(size));
        blockSizes_.push_back(size);
        used_ = 0;
    }
    const std::uint64_t start = (static_cast<std::uint64_t>(blocks_.size() - 1) << 20) | used_;
    std::copy(line.begin(), line.end(), blocks_.back().get() + used_);
    used_ += line.size();
    const int row = Count();
    beginInsertRows(QModelIndex(), row, row);
    lines_.push_back((start << kLengthBits) | line.size());
    endInsertRows();
}

void TLogListModel::Clear() {
    beginResetModel();
    blocks_.clear();
    blockSizes_.clear();
    used_ = 0;
    lines_.clear();
    lines_.shrink_to_fit();
    endResetModel();
}

std::size_t TLogListModel::MemoryBytes() const {
    std::size_t n = lines_.capacity() * sizeof(std::uint64_t);
    for (std::size_t b : blockSizes_) n += b;
    return n;
}

}  // namespace orvan::pages
