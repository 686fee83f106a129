#include "LogListModel.h"

namespace orvan::pages {

int TLogListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : Count();
}

std::string_view TLogListModel::Line(int row) const {
    if (row < 0 || row >= Count()) return {};
    const auto r = static_cast<std::size_t>(row);
    const std::uint64_t begin = r == 0 ? 0 : ends_[r - 1];
    return std::string_view(text_).substr(begin, ends_[r] - begin);
}

QVariant TLogListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= Count()) return {};
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole) return {};
    const std::string_view l = Line(index.row());
    return QString::fromLatin1(l.data(), static_cast<qsizetype>(l.size()));
}

void TLogListModel::Append(std::string_view line) {
    const int row = Count();
    beginInsertRows(QModelIndex(), row, row);
    text_.append(line);
    ends_.push_back(text_.size());
    endInsertRows();
}

void TLogListModel::Clear() {
    beginResetModel();
    text_.clear();
    text_.shrink_to_fit();
    ends_.clear();
    ends_.shrink_to_fit();
    endResetModel();
}

std::size_t TLogListModel::MemoryBytes() const {
    return text_.capacity() + ends_.capacity() * sizeof(std::uint64_t);
}

}  // namespace orvan::pages
