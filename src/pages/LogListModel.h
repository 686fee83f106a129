#pragma once
// The lines of a traffic log, for a list view. The logs are never trimmed, so
// lines are kept packed in one character buffer with their end offsets (a
// few bytes of overhead per line) and turned into a QString only when the
// view asks for one of the rows it shows.

#include <QAbstractListModel>
#include <cstdint>
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
    int Count() const { return static_cast<int>(ends_.size()); }
    std::string_view Line(int row) const;
    // Bytes the model holds for its lines, reserve included.
    std::size_t MemoryBytes() const;

private:
    std::string text_;
    std::vector<std::uint64_t> ends_;
};

}  // namespace orvan::pages
