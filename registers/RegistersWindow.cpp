#include "registers/RegistersWindow.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QSaveFile>
#include <QSpinBox>
#include <QStatusBar>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>
#include <iterator>

#include "lineowner/LineOwner.h"
#include "operations/WindowHost.h"
#include "protocol/Limits.h"
#include "protocol/RawFrames.h"
#include "protocol/RegisterValues.h"

using namespace protocol;

namespace {

QByteArray ToBytes(const std::vector<uint8_t>& bytes) {
    return QByteArray(reinterpret_cast<const char*>(bytes.data()), int(bytes.size()));
}

std::vector<uint8_t> FromBytes(const QByteArray& bytes) {
    return std::vector<uint8_t>(bytes.begin(), bytes.end());
}

QString Utf8(const std::string& text) {
    return QString::fromStdString(text);
}

// The meanings of the protocol core's texts, for the translation: the core has none of its own.
[[maybe_unused]] const char* const CoreTexts[] = {
    QT_TRANSLATE_NOOP("TRegistersWindow", "Недопустимая функция"),
    QT_TRANSLATE_NOOP("TRegistersWindow", "Несуществующий параметр"),
    QT_TRANSLATE_NOOP("TRegistersWindow", "Неверное значение параметра"),
    QT_TRANSLATE_NOOP("TRegistersWindow", "Отказ устройства"),
    QT_TRANSLATE_NOOP("TRegistersWindow", "Запрос принят, выполняется"),
    QT_TRANSLATE_NOOP("TRegistersWindow", "Устройство занято"),
    QT_TRANSLATE_NOOP("TRegistersWindow", "Ошибка чётности памяти"),
    QT_TRANSLATE_NOOP("TRegistersWindow", "Шлюз: нет пути к устройству"),
    QT_TRANSLATE_NOOP("TRegistersWindow", "Шлюз: устройство не отвечает"),
    QT_TRANSLATE_NOOP("TRegistersWindow", "Аппаратная защита"),
};

QComboBox* Choice(QWidget* parent, const char* name, const QStringList& items,
                  const QList<int>& values) {
    auto* box = new QComboBox(parent);
    box->setObjectName(QLatin1String(name));
    for (int i = 0; i < items.size(); ++i) box->addItem(items[i], values[i]);
    return box;
}

QSpinBox* Number(QWidget* parent, const char* name, int low, int high, int value) {
    auto* box = new QSpinBox(parent);
    box->setObjectName(QLatin1String(name));
    box->setRange(low, high);
    box->setValue(value);
    return box;
}

QPushButton* Button(QWidget* parent, const char* name, const QString& text,
                    bool checkable = false) {
    auto* button = new QPushButton(text, parent);
    button->setObjectName(QLatin1String(name));
    button->setCheckable(checkable);
    return button;
}

}  // namespace

TRegistersWindow::TRegistersWindow(TWindowHost& host,
                                   std::function<void(const TLineFraming&)> storeFraming,
                                   QWidget* parent)
    : QWidget(parent, Qt::Window),
      FHost(host),
      FStoreFraming(std::move(storeFraming)),
      FModel(this),
      FPollTimer(new QTimer(this)),
      FRawTimer(new QTimer(this)),
      FAgeTimer(new QTimer(this)) {
    setObjectName(QStringLiteral("RegistersWindow"));
    setWindowTitle(tr("Регистры"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(MakeReadBar());
    FTable = new QTableView(this);
    FTable->setObjectName(QStringLiteral("RegisterTable"));
    FTable->setModel(&FModel);
    FTable->verticalHeader()->hide();
    FTable->horizontalHeader()->setStretchLastSection(true);
    FTable->setWordWrap(false);
    const int widths[] = {70, 230, 110, 190, 80};
    for (int c = 0; c < int(std::size(widths)); ++c) FTable->setColumnWidth(c, widths[c]);
    FTable->setSelectionBehavior(QAbstractItemView::SelectRows);
    layout->addWidget(FTable, 1);
    // A row picked is where a write starts.
    connect(FTable->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) {
                if (current.isValid()) FWriteStart->setValue(FModel.RowRegister(current.row()));
            });
    layout->addWidget(MakeWriteBar());
    layout->addWidget(MakeRawBar());
    layout->addWidget(MakeFramingBar());
    FStatus = new QLabel(this);
    FStatus->setObjectName(QStringLiteral("RegistersStatus"));
    FStatus->setWordWrap(true);
    layout->addWidget(FStatus);

    FPollTimer->setSingleShot(true);
    FRawTimer->setSingleShot(true);
    connect(FPollTimer, &QTimer::timeout, this, &TRegistersWindow::ReadOnce);
    connect(FRawTimer, &QTimer::timeout, this, &TRegistersWindow::SendRaw);
    FAgeTimer->setInterval(1000);
    connect(FAgeTimer, &QTimer::timeout, &FModel, &TRegisterTableModel::RefreshAges);
    FAgeTimer->start();

    // The instrument the main window talks to is the first guess.
    const int address = host.InstrumentAddress();
    if (address >= 1 && address <= HighestModbusAddress) FAddress->setValue(address);
    ShowFraming();
    RangeChanged();
    resize(880, 560);
}

TRegistersWindow::~TRegistersWindow() {
    FHost.LineOwner().Release(this);
}

void TRegistersWindow::AddToMenu(QMenu& menu, TWindowHost& host,
                                 std::function<void(const TLineFraming&)> storeFraming) {
    menu.addSeparator();
    auto* action = new QAction(tr("Регистры…"), &menu);
    action->setObjectName(QStringLiteral("ActionRegisters"));
    action->setShortcut(QKeySequence(Qt::Key_F6));
    menu.addAction(action);
    host.Window()->addAction(action);  // the shortcut works without opening the menu
    auto window = std::make_shared<QPointer<TRegistersWindow>>();
    QObject::connect(action, &QAction::triggered, &menu, [&host, storeFraming, window] {
        if (!*window) *window = new TRegistersWindow(host, storeFraming, host.Window());
        (*window)->show();
        (*window)->raise();
        (*window)->activateWindow();
    });
}

QWidget* TRegistersWindow::MakeReadBar() {
    auto* box = new QGroupBox(tr("Чтение"), this);
    auto* row = new QGridLayout(box);
    FAddress = Number(box, "RegAddress", 1, HighestModbusAddress, 1);
    FFunction = Choice(box, "RegFunction",
                       {tr("1: биты (coils)"), tr("2: дискретные входы"), tr("3: регистры"),
                        tr("4: входные регистры")},
                       {1, 2, 3, 4});
    FFunction->setCurrentIndex(2);
    FStart = Number(box, "RegStart", 0, 65535, 1000);
    FCount = Number(box, "RegCount", 1, 125, 6);
    FType = Choice(box, "RegType", {"u16", "s16", "u32", "s32", "float"}, {0, 1, 2, 3, 4});
    FOrder = Choice(box, "RegOrder", {"ABCD", "CDAB", "BADC", "DCBA"}, {0, 1, 2, 3});
    FBase = Choice(box, "RegBase", {tr("10"), tr("16"), tr("2")}, {0, 1, 2});
    FReadButton = Button(box, "RegRead", tr("Прочитать"));
    FPollButton = Button(box, "RegPoll", tr("Опрос"), true);
    FInterval = Number(box, "RegInterval", 50, 3600000, 1000);
    FInterval->setSuffix(tr(" мс"));
    FExportButton = Button(box, "RegExport", tr("CSV…"));
    // Two rows: what is read, then how it is shown and the buttons.
    auto addPairs = [box, row](int line,
                               std::initializer_list<std::pair<QString, QWidget*>> pairs) {
        int column = 0;
        for (const auto& [label, widget] : pairs) {
            row->addWidget(new QLabel(label, box), line, column++);
            row->addWidget(widget, line, column++);
        }
        return column;
    };
    addPairs(0, {{tr("Адрес"), FAddress},
                 {tr("Функция"), FFunction},
                 {tr("С регистра"), FStart},
                 {tr("Количество"), FCount}});
    int column =
        addPairs(1, {{tr("Тип"), FType}, {tr("Порядок"), FOrder}, {tr("Основание"), FBase}});
    auto* buttons = new QHBoxLayout();
    buttons->addWidget(FReadButton);
    buttons->addWidget(FPollButton);
    buttons->addWidget(FInterval);
    buttons->addWidget(FExportButton);
    buttons->addStretch();
    row->addLayout(buttons, 1, column, 1, 8 - column);
    row->setColumnStretch(8, 1);
    connect(FReadButton, &QPushButton::clicked, this, &TRegistersWindow::ReadOnce);
    connect(FPollButton, &QPushButton::toggled, this, &TRegistersWindow::SetPolling);
    connect(FExportButton, &QPushButton::clicked, this, [this] {
        const QString path = QFileDialog::getSaveFileName(
            this, tr("Сохранить таблицу"), FHost.DefaultFolder() + QStringLiteral("registers.csv"),
            tr("CSV (*.csv)"));
        if (!path.isEmpty()) ExportCsv(path);
    });
    for (QComboBox* view : {FType, FOrder, FBase})
        connect(view, &QComboBox::currentIndexChanged, this, &TRegistersWindow::ViewChanged);
    connect(FFunction, &QComboBox::currentIndexChanged, this, &TRegistersWindow::RangeChanged);
    connect(FStart, &QSpinBox::valueChanged, this, &TRegistersWindow::RangeChanged);
    connect(FCount, &QSpinBox::valueChanged, this, &TRegistersWindow::RangeChanged);
    return box;
}

QWidget* TRegistersWindow::MakeWriteBar() {
    auto* box = new QGroupBox(tr("Запись"), this);
    auto* row = new QHBoxLayout(box);
    FWriteStart = Number(box, "RegWriteStart", 0, 65535, 1000);
    FWriteFunction =
        Choice(box, "RegWriteFunction",
               {tr("6 или 16"), tr("5: бит"), tr("6: регистр"), tr("15: биты"), tr("16: регистры")},
               {0, 5, 6, 15, 16});
    FWriteValues = new QLineEdit(box);
    FWriteValues->setObjectName(QStringLiteral("RegWriteValues"));
    FWriteValues->setPlaceholderText(tr("значение или блок через запятую: 1,2,3"));
    FWriteButton = Button(box, "RegWrite", tr("Записать"));
    row->addWidget(new QLabel(tr("С регистра"), box));
    row->addWidget(FWriteStart);
    row->addWidget(new QLabel(tr("Функция"), box));
    row->addWidget(FWriteFunction);
    row->addWidget(new QLabel(tr("Значения"), box));
    FWriteValues->setToolTip(
        tr("Тип и порядок слов — как у чтения; несколько значений через "
           "запятую записываются одним запросом"));
    row->addWidget(FWriteValues, 1);
    row->addWidget(FWriteButton);
    connect(FWriteButton, &QPushButton::clicked, this, &TRegistersWindow::WriteValues);
    connect(FWriteValues, &QLineEdit::returnPressed, this, &TRegistersWindow::WriteValues);
    return box;
}

QWidget* TRegistersWindow::MakeRawBar() {
    auto* box = new QGroupBox(tr("Кадр вручную"), this);
    auto* column = new QVBoxLayout(box);
    auto* row = new QHBoxLayout();
    FRawText = new QLineEdit(box);
    FRawText->setObjectName(QStringLiteral("RawFrame"));
    FRawText->setPlaceholderText(tr("01 03 03 EB 00 01 (пробелы не обязательны)"));
    FRawCrc = new QCheckBox(tr("Добавить CRC"), box);
    FRawCrc->setObjectName(QStringLiteral("RawCrc"));
    FRawCrc->setChecked(true);
    FRawSendButton = Button(box, "RawSend", tr("Отправить"));
    FRawRepeatButton = Button(box, "RawRepeat", tr("Повторять"), true);
    FRawInterval = Number(box, "RawInterval", 50, 3600000, 1000);
    FRawInterval->setSuffix(tr(" мс"));
    row->addWidget(FRawText, 1);
    row->addWidget(FRawCrc);
    row->addWidget(FRawSendButton);
    row->addWidget(FRawRepeatButton);
    row->addWidget(FRawInterval);
    column->addLayout(row);
    FRawAnswer = new QLabel(box);
    FRawAnswer->setObjectName(QStringLiteral("RawAnswer"));
    FRawAnswer->setTextInteractionFlags(Qt::TextSelectableByMouse);
    FRawAnswer->setWordWrap(true);
    column->addWidget(FRawAnswer);
    connect(FRawSendButton, &QPushButton::clicked, this, &TRegistersWindow::SendRaw);
    connect(FRawText, &QLineEdit::returnPressed, this, &TRegistersWindow::SendRaw);
    connect(FRawRepeatButton, &QPushButton::toggled, this, &TRegistersWindow::SetRawRepeat);
    return box;
}

QWidget* TRegistersWindow::MakeFramingBar() {
    auto* box = new QWidget(this);
    auto* row = new QHBoxLayout(box);
    row->setContentsMargins(0, 0, 0, 0);
    FParity = Choice(box, "LineParity", {tr("нет"), tr("чёт"), tr("нечёт")},
                     {int(paNone), int(paEven), int(paOdd)});
    FStopBits = Choice(box, "LineStopBits", {QStringLiteral("1"), QStringLiteral("2")},
                       {int(sb1), int(sb2)});
    row->addWidget(new QLabel(tr("Линия: чётность"), box));
    row->addWidget(FParity);
    row->addWidget(new QLabel(tr("стоп-биты"), box));
    row->addWidget(FStopBits);
    row->addStretch();
    connect(FParity, &QComboBox::activated, this, &TRegistersWindow::FramingChanged);
    connect(FStopBits, &QComboBox::activated, this, &TRegistersWindow::FramingChanged);
    return box;
}

// ---- the table -----------------------------------------------------------------------------

void TRegistersWindow::ViewChanged() {
    FModel.SetView(RegisterType(FType->currentData().toInt()),
                   WordOrder(FOrder->currentData().toInt()),
                   NumberBase(FBase->currentData().toInt()));
}

void TRegistersWindow::RangeChanged() {
    DataFunction function;
    DataFunctionFromNumber(FFunction->currentData().toInt(), function);
    // The count box takes no more than the function reads.
    FCount->setMaximum(ItemLimit(function));
    const bool bits = CarriesBits(function);
    for (QWidget* w : std::initializer_list<QWidget*>{FType, FOrder, FBase}) w->setEnabled(!bits);
    if (FModel.Function() == function && FModel.Start() == FStart->value() &&
        FModel.Count() == FCount->value())
        return;
    FModel.SetRange(function, uint16_t(FStart->value()), FCount->value());
    ViewChanged();
}

std::optional<DataRequest> TRegistersWindow::ReadRequest() {
    RangeChanged();
    DataRequest r;
    r.address = uint8_t(FAddress->value());
    DataFunctionFromNumber(FFunction->currentData().toInt(), r.function);
    r.start = uint16_t(FStart->value());
    r.count = uint16_t(FCount->value());
    if (!CarriesBits(r.function) && r.count % FModel.RowWidth() != 0) {
        Say(tr("Тип %1 занимает два регистра: количество должно быть чётным")
                .arg(FType->currentText()),
            true);
        return std::nullopt;
    }
    if (int(r.start) + r.count - 1 > 0xFFFF) {
        Say(tr("Последний регистр дальше 65535"), true);
        return std::nullopt;
    }
    return r;
}

// ---- the line ------------------------------------------------------------------------------

bool TRegistersWindow::OwnsLine() const {
    return Busy() || FPollButton->isChecked() || FRawRepeatButton->isChecked();
}

QLabel* TRegistersWindow::LineOwnerLabel() const {
    return FHost.LineOwner().HolderNote();
}

void TRegistersWindow::ReleaseWhenIdle() {
    if (!OwnsLine()) FHost.LineOwner().Release(this);
}

bool TRegistersWindow::Busy() const {
    return FExchanging || FSettling;
}

bool TRegistersWindow::Send(Pending what, TLineRequest request) {
    if (Busy()) return false;
    TLineOwner& owner = FHost.LineOwner();
    if (!owner.Claim(this, tr("Регистры"))) {
        // Another window talks on the line: nothing is sent, repeating stops.
        Say(owner.Refusal(), true);
        FPollButton->setChecked(false);
        FRawRepeatButton->setChecked(false);
        return false;
    }
    request.describe = [](const QByteArray& frame, const QByteArray& answer, bool& error) {
        const RawAnswerView view = DescribeRawAnswer(FromBytes(frame), FromBytes(answer));
        error = error || view.error;
        return Utf8(view.text);
    };
    FPending = what;
    ++FSent;
    // A request of the main window still awaiting its answer when its polling stopped: the
    // line is left to fall silent first, so that its answer is not taken for this one's.
    FSettling = owner.SettleMs() > 0;
    FExchanging = true;
    owner.WhenQuiet(this, [this, request] {
        FSettling = false;
        QPointer<TRegistersWindow> self(this);
        FHost.LineOwner().Exchange(this, request, [self](const TLineAnswer& answer) {
            if (!self) return;
            self->FExchanging = false;
            self->Answered(answer);
        });
    });
    return true;
}

void TRegistersWindow::ReadOnce() {
    const auto request = ReadRequest();
    if (!request) {
        FPollButton->setChecked(false);
        return;
    }
    // A request still under way: the poll comes again shortly instead of overtaking it.
    if (Busy()) {
        if (FPollButton->isChecked())
            FPollTimer->start(20);
        else
            Say(tr("Линия занята предыдущим запросом"), true);
        return;
    }
    FInFlight = *request;
    TLineRequest line;
    line.frame = ToBytes(BuildDataRequest(*request));
    line.answerLength = DataAnswerLength(*request);
    line.modbus = true;
    line.meaning = tr("функция %1: %2 с %3")
                       .arg(int(request->function))
                       .arg(request->count)
                       .arg(request->start);
    Send(Pending::Read, line);
}

void TRegistersWindow::SetPolling(bool on) {
    if (FPollButton->isChecked() != on) FPollButton->setChecked(on);  // toggled comes back here
    if (!on) {
        FPollTimer->stop();
        ReleaseWhenIdle();
        return;
    }
    ReadOnce();
}

void TRegistersWindow::WriteValues() {
    std::vector<std::string> items;
    for (const QString& item : FWriteValues->text().split(QLatin1Char(',')))
        items.push_back(item.trimmed().toStdString());
    const int function = FWriteFunction->currentData().toInt();
    const auto type = RegisterType(FType->currentData().toInt());
    const auto order = WordOrder(FOrder->currentData().toInt());
    // Each value checked first, so that the operator is told which one is wrong.
    const bool bits = function == 5 || function == 15;
    for (const std::string& item : items) {
        std::string problem;
        const bool fits = bits ? item == "0" || item == "1"
                               : EncodeRegisterValue(item, type, order, problem).has_value();
        if (!fits) {
            Say(bits ? tr("Бит — 0 или 1, а не «%1»").arg(Utf8(item))
                     : tr("«%1» не записать как %2").arg(Utf8(item), FType->currentText()),
                true);
            return;
        }
    }
    const bool single = function == 5 || function == 6;
    if (single && items.size() > 1) {
        Say(tr("Функция %1 записывает одно значение; блок — функцией %2")
                .arg(function)
                .arg(function == 5 ? 15 : 16),
            true);
        return;
    }
    std::string problem;
    const auto request = PlanDataWrite(uint8_t(FAddress->value()), function,
                                       uint16_t(FWriteStart->value()), items, type, order, problem);
    if (!request) {
        Say(tr("Запись не отправлена: %1").arg(Utf8(problem)), true);
        return;
    }
    if (Busy()) {
        Say(tr("Линия занята предыдущим запросом"), true);
        return;
    }
    FInFlight = *request;
    TLineRequest line;
    line.frame = ToBytes(BuildDataRequest(*request));
    line.answerLength = DataAnswerLength(*request);
    line.meaning = tr("функция %1: запись %2 с %3")
                       .arg(int(request->function))
                       .arg(request->values.size())
                       .arg(request->start);
    Send(Pending::Write, line);
}

void TRegistersWindow::SendRaw() {
    const HexFrame frame = ParseHexFrame(FRawText->text().toStdString(), FRawCrc->isChecked());
    if (!frame.Ok()) {
        FRawRepeatButton->setChecked(false);
        switch (frame.kind) {
            case HexFrame::Problem::Empty:
                Say(tr("Кадр пуст"), true);
                break;
            case HexFrame::Problem::NotHex:
                Say(tr("Не шестнадцатеричная цифра в позиции %1").arg(frame.position), true);
                break;
            case HexFrame::Problem::OddDigits:
                Say(tr("Нечётное число цифр (%1): байт — две цифры").arg(frame.total), true);
                break;
            default:
                Say(tr("%1 байт: кадр не длиннее %2").arg(frame.total).arg(MaxRawFrameBytes), true);
                break;
        }
        return;
    }
    if (Busy()) {
        if (FRawRepeatButton->isChecked())
            FRawTimer->start(20);
        else
            Say(tr("Линия занята предыдущим запросом"), true);
        return;
    }
    DataRequest data;
    const bool isData = DataRequestFromFrame(frame.bytes, data);
    TLineRequest line;
    line.frame = ToBytes(frame.bytes);
    const int length = RawAnswerLength(frame.bytes);
    line.answerLength = length > 0 ? length : 256;
    // A frame that is none of the data requests may be QV: no exception answer ends it early.
    line.modbus = isData;
    line.meaning = tr("кадр вручную");
    Send(Pending::Raw, line);
}

void TRegistersWindow::SetRawRepeat(bool on) {
    if (FRawRepeatButton->isChecked() != on) FRawRepeatButton->setChecked(on);
    if (!on) {
        FRawTimer->stop();
        ReleaseWhenIdle();
        return;
    }
    SendRaw();
}

void TRegistersWindow::Answered(const TLineAnswer& answer) {
    const Pending what = FPending;
    FPending = Pending::None;
    if (what == Pending::Read) ReadAnswered(answer);
    if (what == Pending::Write) WriteAnswered(answer);
    if (what == Pending::Raw) RawAnswered(answer);
    // The next round of whatever repeats, after its interval from this answer.
    if (FPollButton->isChecked() && !FPollTimer->isActive()) FPollTimer->start(FInterval->value());
    if (FRawRepeatButton->isChecked() && !FRawTimer->isActive())
        FRawTimer->start(FRawInterval->value());
    ReleaseWhenIdle();
}

QString TRegistersWindow::AnswerProblem(const DataAnswer& answer) const {
    using S = DataAnswer::Status;
    switch (answer.status) {
        case S::Exception: {
            const char* meaning = ExceptionMeaning(answer.exceptionCode);
            const QString code = tr("исключение %1").arg(answer.exceptionCode);
            return meaning ? code + QStringLiteral(": ") + tr(meaning) : code;
        }
        case S::Short:
            return tr("неполный ответ");
        case S::BadCrc:
            return tr("ошибка контрольной суммы");
        case S::WrongAddress:
            return tr("ответ с другого адреса");
        case S::WrongFunction:
            return tr("ответ другой функции");
        case S::Mismatch:
            return tr("ответ не соответствует запросу");
        case S::Ok:
            break;
    }
    return QString();
}

void TRegistersWindow::ReadAnswered(const TLineAnswer& answer) {
    QString problem = answer.failure;
    if (problem.isEmpty() && answer.bytes.isEmpty()) problem = tr("нет ответа");
    if (problem.isEmpty()) {
        const std::vector<uint8_t> bytes = FromBytes(answer.bytes);
        const DataAnswer decoded = DecodeDataAnswer(FInFlight, bytes.data(), int(bytes.size()));
        if (decoded.status == DataAnswer::Status::Ok) {
            FModel.TakeValues(decoded.values);
            Say(tr("Прочитано: %1 за %2 мс")
                    .arg(decoded.values.size())
                    .arg(answer.latencyMs, 0, 'f', 0),
                false);
            return;
        }
        problem = AnswerProblem(decoded);
    }
    FModel.TakeError(problem);
    Say(problem, true);
}

void TRegistersWindow::WriteAnswered(const TLineAnswer& answer) {
    QString problem = answer.failure;
    if (problem.isEmpty() && answer.bytes.isEmpty()) problem = tr("нет ответа");
    if (problem.isEmpty()) {
        const std::vector<uint8_t> bytes = FromBytes(answer.bytes);
        const DataAnswer decoded = DecodeDataAnswer(FInFlight, bytes.data(), int(bytes.size()));
        if (decoded.status == DataAnswer::Status::Ok) {
            FModel.TakeWritten(FInFlight.function, FInFlight.start, FInFlight.values);
            Say(tr("Записано: %1 с %2").arg(FInFlight.values.size()).arg(FInFlight.start), false);
            return;
        }
        problem = AnswerProblem(decoded);
    }
    Say(tr("Запись не выполнена: %1").arg(problem), true);
}

void TRegistersWindow::RawAnswered(const TLineAnswer& answer) {
    if (!answer.failure.isEmpty()) {
        FRawAnswer->setText(answer.failure);
        Say(answer.failure, true);
        return;
    }
    if (answer.bytes.isEmpty()) {
        FRawAnswer->setText(
            tr("> %1\nнет ответа").arg(QString::fromLatin1(answer.request.toHex(' ').toUpper())));
        Say(tr("нет ответа"), true);
        return;
    }
    const RawAnswerView view =
        DescribeRawAnswer(FromBytes(answer.request), FromBytes(answer.bytes));
    const QString protocolName = view.kind == RawAnswerView::Kind::Qv ? QStringLiteral("QV: ")
                                 : view.kind == RawAnswerView::Kind::Modbus
                                     ? QStringLiteral("Modbus RTU: ")
                                     : QString();
    FRawAnswer->setText(QStringLiteral("> %1\n< %2\n%3%4")
                            .arg(QString::fromLatin1(answer.request.toHex(' ').toUpper()),
                                 QString::fromLatin1(answer.bytes.toHex(' ').toUpper()),
                                 protocolName, Utf8(view.text)));
    Say(tr("Ответ за %1 мс").arg(answer.latencyMs, 0, 'f', 0), view.error);
}

void TRegistersWindow::Say(const QString& text, bool problem) {
    FStatus->setText(text);
    FStatus->setStyleSheet(problem ? QStringLiteral("color: red") : QString());
}

// ---- framing, export, closing --------------------------------------------------------------

void TRegistersWindow::ShowFraming() {
    TSerialPort& port = FHost.Port();
    FParity->setCurrentIndex(qMax(0, FParity->findData(int(port.Parity()))));
    FStopBits->setCurrentIndex(qMax(0, FStopBits->findData(int(port.StopBits()))));
}

void TRegistersWindow::FramingChanged() {
    TLineFraming framing;
    framing.parity = TParity(FParity->currentData().toInt());
    framing.stopBits = TStopBits(FStopBits->currentData().toInt());
    try {
        FHost.Port().SetParity(framing.parity);
        FHost.Port().SetStopBits(framing.stopBits);
    } catch (const ESerialPort& e) {
        Say(e.Text(), true);
        return;
    }
    if (FStoreFraming) FStoreFraming(framing);
    Say(tr("Линия: чётность %1, стоп-битов %2")
            .arg(FParity->currentText(), FStopBits->currentText()),
        false);
}

void TRegistersWindow::ExportCsv(const QString& path) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(FModel.Csv().toUtf8()) < 0 ||
        !file.commit()) {
        Say(tr("Не удалось записать %1: %2").arg(path, file.errorString()), true);
        return;
    }
    Say(tr("Таблица записана в %1").arg(path), false);
}

void TRegistersWindow::hideEvent(QHideEvent* event) {
    // A closed window talks no more: polling and repeating end with it.
    SetPolling(false);
    SetRawRepeat(false);
    QWidget::hideEvent(event);
}
