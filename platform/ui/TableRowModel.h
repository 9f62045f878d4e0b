#pragma once

#include <QAbstractListModel>

#include <functional>

// The row count behind the rows a TableView draws. The rows' contents come
// from the table's data source at paint time; the model only tells the view
// how many rows there are and which ones went away, and answers a screen
// reader with what a row says.
class TableRowModel : public QAbstractListModel {
    Q_OBJECT
public:
    explicit TableRowModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;

    // Answers the accessible text of a row (what a screen reader says).
    void setSpokenText(std::function<QString(int row)> spokenText) { spokenText_ = std::move(spokenText); }

    void resetRows(int count);
    // The row is already gone from the data source.
    void rowRemoved(int row);

private:
    int rows_ = 0;
    std::function<QString(int row)> spokenText_;
};
