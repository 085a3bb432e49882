// The seven-segment digit's own cost, per cell:
//
//  paint    TDigit::Paint of one 57 x 81 cell (the form's size and colours) into an image;
//  write    a changed character written into one of the four digit cells of the readings
//           page's first panel, on the real form shown (offscreen unless a platform is asked
//           for): the control's immediate repaint included, as the toolkit delivers it, with
//           the paint events it takes (a cell's neighbours included) and the allocations.
#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QMainWindow>
#include <QPainter>
#include <cstdio>
#include <string>

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

}  // namespace

int main(int argc, char** argv) {
    int count = 20000;
    for (int i = 1; i + 1 < argc; ++i)
        if (std::string(argv[i]) == "--count") count = std::atoi(argv[++i]);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    std::printf("Platform %s, %d cells\n", qPrintable(QGuiApplication::platformName()), count);
    PaintIntoImage(count);
    WriteOnTheForm(count);
    return 0;
}
