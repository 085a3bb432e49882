#pragma once
// The preview before a configuration file is written to the instrument: file and instrument
// side by side, key by key, the differences marked. The differences that can be written are
// ticked (the operator may untick any); nothing is written unless the dialog is accepted.
#include <QDialog>
#include <QString>
#include <string>
#include <vector>

#include "config/ConfigFile.h"

class QLabel;
class QPushButton;
class QTableWidget;

enum class TPreviewState {
    Same,       // the instrument holds the file's value
    Write,      // differs, was not read, or cannot be read: written when ticked
    ReadOnly,   // differs, but the instrument takes no write of it
    NotInFile,  // the file gives no value for it
};

struct TPreviewRow {
    std::string key;
    QString label;           // "Пар. 1: шкала"
    QString fileText;        // "173.2"; "—" when the file does not give it
    QString instrumentText;  // "173.2"; "не прочитано", "не читается"
    TPreviewState state = TPreviewState::Same;
};

// Every key of the file format in file order.
std::vector<TPreviewRow> PreviewRows(const config::InstrumentConfig& file,
                                     const config::InstrumentConfig& instrument);
// The key as the parameter page names it ("Реле 2: гистерезис").
QString KeyLabel(const std::string& key);

class TConfigPreview : public QDialog {
    Q_OBJECT
public:
    TConfigPreview(const QString& fileName, const QString& instrumentName,
                   std::vector<TPreviewRow> rows, QWidget* parent);

    const std::vector<TPreviewRow>& Rows() const { return FRows; }
    // The rows to write: those of state Write still ticked.
    std::vector<std::string> TickedKeys() const;
    void SetTicked(const std::string& key, bool ticked);
    QTableWidget* Table() const { return FTable; }
    QPushButton* WriteButton() const { return FWrite; }
    // The keys the instrument takes no write of and holds otherwise than the file, in words;
    // empty when there are none.
    static QString ReadOnlyDifferenceText(const std::vector<TPreviewRow>& rows);

private:
    void Recount();

    std::vector<TPreviewRow> FRows;
    QTableWidget* FTable;
    QLabel* FSummary;
    QPushButton* FWrite;
};
