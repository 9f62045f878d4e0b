#pragma once

#include <QAbstractListModel>

#include <functional>

// The row count behind a ListTableView. The rows' contents come from the
// list's data source at paint time; the model only tells the view how many
// rows there are and which ones went away.
class ListTableModel : public QAbstractListModel {
    Q_OBJECT
public:
    explicit ListTableModel(QObject* parent = nullptr);

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
