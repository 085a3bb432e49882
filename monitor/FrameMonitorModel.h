#pragma once
// The frame monitor's table: a bounded history of rows (the oldest dropped), taken in batches
// with one insertion each, shown column by column; a filter by command and by errors; the
// rows as text for copying and saving. Main thread only.
#include <QAbstractTableModel>
#include <QSortFilterProxyModel>
#include <deque>
#include <vector>

#include "monitor/FrameRows.h"

class TFrameMonitorModel : public QAbstractTableModel {
    Q_OBJECT
public:
    // What a reader looks for first comes first, so that a narrow window still shows the
    // bytes and their meaning; the columns that rarely change come last.
    enum Column {
        Mark,  // "!" on an error row, so that copied text keeps the mark
        Time,
        Direction,
        Address,
        Command,
        Bytes,
        Meaning,
        Window,  // whose turn on the line it was: the main window's exchange or a window's
        Latency,
        Pieces,
        Crc,
        Length,
        Protocol,
        ColumnCount
    };
    static constexpr int DefaultHistoryLimit = 10000;
    static constexpr int ErrorRole = Qt::UserRole + 1;      // bool
    static constexpr int CommandRole = Qt::UserRole + 2;    // TListComand, -1 for none
    static constexpr int ByteCountRole = Qt::UserRole + 3;  // int, bytes of the frame shown

    explicit TFrameMonitorModel(QObject* parent = nullptr, int historyLimit = DefaultHistoryLimit);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

    // One batch: one insertion (and at most one removal of the oldest rows). Ignored while
    // paused.
    void AppendRows(std::vector<TFrameRow>&& rows);
    void Clear();
    void SetPaused(bool paused) { FPaused = paused; }
    bool Paused() const { return FPaused; }
    int HistoryLimit() const { return FLimit; }
    const TFrameRow& Row(int row) const { return FRows[size_t(row)]; }

    static QString CellText(const TFrameRow& row, int column);
    static QString ColumnTitle(int column);

private:
    std::deque<TFrameRow> FRows;
    int FLimit;
    bool FPaused = false;
};

// Rows of one command (or all), and only errors when asked.
class TFrameFilter : public QSortFilterProxyModel {
    Q_OBJECT
public:
    using QSortFilterProxyModel::QSortFilterProxyModel;
    void SetCommand(int command);  // -1: every command
    void SetErrorsOnly(bool errorsOnly);
    int Command() const { return FCommand; }
    bool ErrorsOnly() const { return FErrorsOnly; }

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const override;

private:
    int FCommand = -1;
    bool FErrorsOnly = false;
};

enum class TFrameTextFormat { Plain, Csv };

// The given rows of `model` (as shown: a filter's rows are the rows it shows), one line each:
// plain text with tabs between the columns, or CSV (commas, quoted where needed). With
// `header`, the column titles come first.
QString FrameRowsText(const QAbstractItemModel& model, const QList<int>& rows,
                      TFrameTextFormat format, bool header);
// Every row of `model` with the header, into `path` (UTF-8; CSV with a byte-order mark so that
// spreadsheets read it as UTF-8). False with `error` set when the file cannot be written.
bool SaveFrameRows(const QAbstractItemModel& model, const QString& path, TFrameTextFormat format,
                   QString* error);
