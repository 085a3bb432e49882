// The seven-segment digit's own cost, per cell:
//
//  paint    TDigit::Paint of one 57 x 81 cell (the form's size and colours) into an image;
//  write    a changed character written into one of the four digit cells of the readings
//           page's first panel, on the real form shown (offscreen unless a platform is asked
//           for): the control's immediate repaint included, as the toolkit delivers it, with
//           the paint events it takes (a cell's neighbours included) and the allocations;
//  floor    the digit's immediate repaint of one changed cell against the toolkit's floor, in
//           rounds taken in turn: a plain widget of the same size and place that fills the
//           same eight polygons with the same pens and brushes on each repaint(), and a plain
//           widget whose repaint() paints nothing. Twice: each alone in a window of its own
//           made like the readings page's panel (a raised QFrame, the cell at 16, 8), then
//           each in the second cell of the first panel of a shown main form of its own. Thread
//           CPU time and allocations per changed cell, medians of the rounds; the paint and
//           write lines above are wall-clock time.
#include <QApplication>
#include <QElapsedTimer>
#include <QFrame>
#include <QImage>
#include <QMainWindow>
#include <QPainter>
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

#include "bench/Probes.h"
#include "controls/Digit.h"
#include "ui_main.h"

namespace {

void FormColours(TDigit& d, const QColor& face) {
    const QColor green(0x00, 0x80, 0x00);
    d.SetShift(0);
    d.OnPen()->SetColor(green);
    d.OnBrush()->SetColor(green);
    d.OffPen()->SetColor(Qt::white);
    d.OffBrush()->SetColor(face);
}

class PaintCount : public QObject {
public:
    long paints = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) ++paints;
        return false;
    }
};

void PaintIntoImage(int count) {
    TDigit digit;
    digit.resize(57, 81);
    FormColours(digit, QColor(0xF0, 0xF0, 0xF0));
    digit.SetValue(QLatin1Char('8'));
    QImage image(57, 81, QImage::Format_ARGB32_Premultiplied);
    QPainter painter(&image);
    const pid_t self = probes::CurrentTid();
    const uint64_t allocationsBefore = probes::AllocationsOf(self);
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < count; ++i) digit.Paint(painter);
    const double us = double(timer.nsecsElapsed()) / 1e3 / count;
    const double allocations = double(probes::AllocationsOf(self) - allocationsBefore) / count;
    std::printf("paint of one cell into an image: %.2f us, %.1f allocations\n", us, allocations);
}

void WriteOnTheForm(int count) {
    QMainWindow window;
    Ui::Tz ui;
    ui.setupUi(&window);
    ui.PageControl1->setCurrentWidget(ui.TabPok);
    TDigit* const cells[] = {ui.Digit5, ui.Digit1, ui.Digit3, ui.Digit4, ui.Digit2};
    PaintCount paints;
    for (TDigit* d : window.findChildren<TDigit*>()) {
        FormColours(*d, window.palette().color(QPalette::Button));
        d->SetValue(QLatin1Char(' '));
        d->installEventFilter(&paints);
    }
    window.show();
    for (int i = 0; i < 50; ++i) QApplication::processEvents();
    paints.paints = 0;
    const pid_t self = probes::CurrentTid();
    const uint64_t allocationsBefore = probes::AllocationsOf(self);
    QElapsedTimer timer;
    timer.start();
    // Every write changes its cell: the digits run through 0..9, each cell one step apart.
    for (int i = 0; i < count; ++i) {
        TDigit* cell = cells[1 + i % 4];
        cell->SetValue(QChar(u'0' + (i / 4 + i % 4) % 10));
    }
    const double us = double(timer.nsecsElapsed()) / 1e3 / count;
    const double allocations = double(probes::AllocationsOf(self) - allocationsBefore) / count;
    std::printf(
        "write of a changed character on the shown form: %.2f us, %.2f paint events, "
        "%.1f allocations\n",
        us, double(paints.paints) / count, allocations);
}

// ---- floor --------------------------------------------------------------------------------

double ThreadCpuNs() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e9 + double(t.tv_nsec);
}

// The same eight polygons, pens and brushes as a 57 x 81 digit with the form's colours, made
// once; each paint event draws them all, lit or unlit as `bars` says.
class PolygonFloor : public QWidget {
public:
    PolygonFloor(QWidget* parent, const TDigit& like) : QWidget(parent) {
        FPolygons = TDigit::SegmentPolygons(57, 81, 0);
        FPens[0] = QPen(QBrush(like.OffPen()->Color()), like.OffPen()->Width());
        FPens[1] = QPen(QBrush(like.OnPen()->Color()), like.OnPen()->Width());
        FBrushes[0] = QBrush(like.OffBrush()->Color());
        FBrushes[1] = QBrush(like.OnBrush()->Color());
    }
    TBars bars = 0;

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter canvas(this);
        for (size_t bar = 0; bar < FPolygons.size(); ++bar) {
            const int lit = HasBar(bars, TBar(bar)) ? 1 : 0;
            canvas.setPen(FPens[lit]);
            canvas.setBrush(FBrushes[lit]);
            canvas.drawPolygon(FPolygons[bar]);
        }
    }

private:
    TDigit::TSegmentPolygons FPolygons;
    QPen FPens[2];
    QBrush FBrushes[2];
};

class EmptyFloor : public QWidget {
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent*) override {}
};

// A window like the readings page's panel around one cell.
struct CellWindow {
    QWidget window;
    QFrame* panel;
    explicit CellWindow(const QColor& face) {
        window.resize(120, 120);
        panel = new QFrame(&window);
        panel->setGeometry(8, 8, 100, 97);
        panel->setFrameShape(QFrame::Panel);
        panel->setFrameShadow(QFrame::Raised);
        QPalette palette = window.palette();
        palette.setColor(QPalette::Button, face);
        window.setPalette(palette);
    }
    void Place(QWidget* cell) { cell->setGeometry(16, 8, 57, 81); }
};

struct Reading {
    double us = 0, allocations = 0;
};

// `count` changed cells by `change(i)`, with the CPU and allocations of this thread.
template <typename Change>
Reading Measure(int count, Change change) {
    const pid_t self = probes::CurrentTid();
    const uint64_t allocationsBefore = probes::AllocationsOf(self);
    const double before = ThreadCpuNs();
    for (int i = 0; i < count; ++i) change(i);
    return {(ThreadCpuNs() - before) / 1e3 / count,
            double(probes::AllocationsOf(self) - allocationsBefore) / count};
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

void Figure(const char* what, double program, double reference, const char* unit) {
    std::printf("%s: program %.2f%s, reference %.2f%s, ratio %.2f\n", what, program, unit,
                reference, unit, reference > 0 ? program / reference : 0.0);
}

// The three cells under test, each drawing a changed character its own way.
struct Cells {
    TDigit* digit;
    PolygonFloor* polygons;
    EmptyFloor* empty;
};

void RunRounds(const char* where, const Cells& cells, int count, int rounds) {
    // The digits 0..9 in turn: every write changes the cell, as a moving reading does.
    auto character = [](int i) { return QChar(u'0' + i % 10); };
    TBars barsOf[10];
    for (int k = 0; k < 10; ++k) TDigit::CharacterBars(character(k), &barsOf[k]);
    std::vector<double> digitUs, polygonUs, emptyUs, digitAlloc, polygonAlloc, emptyAlloc;
    for (int round = 0; round < rounds; ++round) {
        const Reading d = Measure(count, [&](int i) { cells.digit->SetValue(character(i)); });
        const Reading p = Measure(count, [&](int i) {
            cells.polygons->bars = barsOf[i % 10];
            cells.polygons->repaint();
        });
        const Reading e = Measure(count, [&](int) { cells.empty->repaint(); });
        digitUs.push_back(d.us);
        polygonUs.push_back(p.us);
        emptyUs.push_back(e.us);
        digitAlloc.push_back(d.allocations);
        polygonAlloc.push_back(p.allocations);
        emptyAlloc.push_back(e.allocations);
    }
    const std::string w(where);
    Figure(("CPU per changed cell " + w + ", digit against the same polygons").c_str(),
           Median(digitUs), Median(polygonUs), " us");
    Figure(("CPU per changed cell " + w + ", digit against a widget painting nothing").c_str(),
           Median(digitUs), Median(emptyUs), " us");
    Figure(("allocations per changed cell " + w + ", digit against the same polygons").c_str(),
           Median(digitAlloc), Median(polygonAlloc), "");
    Figure(
        ("allocations per changed cell " + w + ", digit against a widget painting nothing").c_str(),
        Median(digitAlloc), Median(emptyAlloc), "");
}

void Settle() {
    for (int i = 0; i < 50; ++i) QApplication::processEvents();
}

// Each cell alone in a window of its own made like the readings page's panel.
void AloneAgainstTheFloor(int count, int rounds) {
    const QColor face(0xF0, 0xF0, 0xF0);
    CellWindow digitWindow(face), polygonWindow(face), emptyWindow(face);
    auto* digit = new TDigit(digitWindow.panel);
    digitWindow.Place(digit);
    FormColours(*digit, face);
    auto* polygons = new PolygonFloor(polygonWindow.panel, *digit);
    polygonWindow.Place(polygons);
    auto* empty = new EmptyFloor(emptyWindow.panel);
    emptyWindow.Place(empty);
    for (QWidget* w : {&digitWindow.window, &polygonWindow.window, &emptyWindow.window}) w->show();
    Settle();
    RunRounds("(a panel alone)", {digit, polygons, empty}, count, rounds);
}

// Each cell in the second place of the first panel of a shown main form of its own; in the
// floors' forms a plain widget takes the digit's place.
void OnTheFormAgainstTheFloor(int count, int rounds) {
    QMainWindow forms[3];
    Ui::Tz ui[3];
    for (int k = 0; k < 3; ++k) {
        ui[k].setupUi(&forms[k]);
        ui[k].PageControl1->setCurrentWidget(ui[k].TabPok);
        for (TDigit* d : forms[k].findChildren<TDigit*>()) {
            FormColours(*d, forms[k].palette().color(QPalette::Button));
            d->SetValue(QLatin1Char(' '));
        }
    }
    TDigit* digit = ui[0].Digit1;
    auto* polygons = new PolygonFloor(ui[1].Digit1->parentWidget(), *digit);
    polygons->setGeometry(ui[1].Digit1->geometry());
    delete ui[1].Digit1;
    auto* empty = new EmptyFloor(ui[2].Digit1->parentWidget());
    empty->setGeometry(ui[2].Digit1->geometry());
    delete ui[2].Digit1;
    for (QMainWindow& form : forms) form.show();
    Settle();
    RunRounds("(on the form)", {digit, polygons, empty}, count, rounds);
}

}  // namespace

int main(int argc, char** argv) {
    int count = 20000;
    int rounds = 9;
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::string(argv[i]) == "--count")
            count = std::atoi(argv[++i]);
        else if (std::string(argv[i]) == "--rounds")
            rounds = std::atoi(argv[++i]);
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    std::printf("Platform %s, %d cells\n", qPrintable(QGuiApplication::platformName()), count);
    PaintIntoImage(count);
    WriteOnTheForm(count);
    AloneAgainstTheFloor(std::max(1, count / rounds), rounds);
    OnTheFormAgainstTheFloor(std::max(1, count / rounds), rounds);
    return 0;
}
