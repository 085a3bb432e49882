#include "controls/Digit.h"

#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <algorithm>
#include <cmath>

namespace {

// Design grid 22 × 30; one hexagon per segment, vertices in drawing order. The point is a
// diamond whose six vertices include two coincident pairs.
constexpr TDigit::TOutlineTable kOutlineX = {{
    {3, 14, 15, 12, 5, 2},
    {1, 4, 4, 1, 0, 0},
    {16, 17, 17, 16, 13, 13},
    {4, 13, 15, 13, 4, 2},
    {1, 4, 4, 1, 0, 0},
    {16, 17, 17, 16, 13, 13},
    {5, 12, 15, 14, 3, 2},
    {19, 21, 21, 19, 19, 17},
}};
constexpr TDigit::TOutlineTable kOutlineY = {{
    {0, 0, 1, 4, 4, 1},
    {2, 5, 10, 13, 12, 3},
    {2, 3, 12, 13, 10, 5},
    {12, 12, 14, 16, 16, 14},
    {15, 18, 24, 27, 26, 16},
    {15, 16, 26, 27, 24, 18},
    {25, 25, 28, 29, 29, 28},
    {25, 27, 27, 29, 29, 27},
}};

constexpr int kGridWidth = 22;
constexpr int kGridHeight = 30;

constexpr uint32_t kBlack = 0x000000;
constexpr uint32_t kGrey = 0x808080;
constexpr uint32_t kSilver = 0xC0C0C0;

struct CharacterFigure {
    char character;
    TBars bars;
};

// Case-sensitive: several letters have a figure in one case only.
constexpr CharacterFigure kFigures[] = {
    {' ', 0x00}, {'0', 0x77}, {'D', 0x77}, {'O', 0x77}, {'1', 0x24}, {'I', 0x24}, {'l', 0x24},
    {'|', 0x24}, {'2', 0x5D}, {'3', 0x6D}, {'4', 0x2E}, {'5', 0x6B}, {'S', 0x6B}, {'s', 0x6B},
    {'6', 0x7B}, {'7', 0x25}, {'8', 0x7F}, {'B', 0x7F}, {'9', 0x6F}, {'A', 0x3F}, {'R', 0x3F},
    {'C', 0x53}, {'(', 0x53}, {'[', 0x53}, {')', 0x65}, {']', 0x65}, {'E', 0x5B}, {'F', 0x1B},
    {'f', 0x1B}, {'H', 0x3E}, {'L', 0x52}, {'P', 0x1F}, {'p', 0x1F}, {'U', 0x76}, {'b', 0x7A},
    {'c', 0x58}, {'d', 0x7C}, {'e', 0x5F}, {'h', 0x3A}, {'i', 0x20}, {'o', 0x78}, {'q', 0x2F},
    {'r', 0x18}, {'u', 0x70}, {'_', 0x40}, {'-', 0x08}, {'~', 0x01},
};

// Ties go to the even neighbour, whatever the floating-point environment's rounding mode.
int RoundHalfEven(double value) {
    const double below = std::floor(value);
    const double fraction = value - below;
    if (fraction > 0.5) return int(below) + 1;
    if (fraction < 0.5) return int(below);
    return std::fmod(below, 2.0) == 0.0 ? int(below) : int(below) + 1;
}

QPen ToQPen(const TPen& pen) {
    return QPen(QBrush(pen.Color()), pen.Width(), pen.Style());
}

QBrush ToQBrush(const TBrush& brush) {
    return QBrush(brush.Color(), brush.Style());
}

}  // namespace

QColor ColorFromColorRef(uint32_t colorRef) {
    return QColor(int(colorRef & 0xFF), int((colorRef >> 8) & 0xFF), int((colorRef >> 16) & 0xFF));
}

// --- TPen / TBrush ---

void TPen::SetColor(const QColor& color) {
    if (color == FColor) return;
    FColor = color;
    Changed();
}

void TPen::SetWidth(int width) {
    if (width == FWidth) return;
    FWidth = width;
    Changed();
}

void TPen::SetStyle(Qt::PenStyle style) {
    if (style == FStyle) return;
    FStyle = style;
    Changed();
}

void TPen::Assign(const TPen& other) {
    FColor = other.FColor;
    FWidth = other.FWidth;
    FStyle = other.FStyle;
    Changed();
}

void TPen::Changed() {
    if (OnChange) OnChange();
}

void TBrush::SetColor(const QColor& color) {
    if (color == FColor) return;
    FColor = color;
    Changed();
}

void TBrush::SetStyle(Qt::BrushStyle style) {
    if (style == FStyle) return;
    FStyle = style;
    Changed();
}

void TBrush::Assign(const TBrush& other) {
    FColor = other.FColor;
    FStyle = other.FStyle;
    Changed();
}

void TBrush::Changed() {
    if (OnChange) OnChange();
}

// --- TDigit ---

TDigit::TDigit(QWidget* owner)
    : QWidget(owner),
      FOnPen(std::make_unique<TPen>()),
      FOffPen(std::make_unique<TPen>()),
      FOnBrush(std::make_unique<TBrush>()),
      FOffBrush(std::make_unique<TBrush>()) {
    FOnPen->SetColor(ColorFromColorRef(kBlack));
    FOffPen->SetColor(ColorFromColorRef(kGrey));
    FOnBrush->SetColor(ColorFromColorRef(kGrey));
    FOffBrush->SetColor(ColorFromColorRef(kSilver));
    RouteChangesHere();
    TakePaintTools();
    resize(18, 30);
    x = kOutlineX;
    y = kOutlineY;
    // Mouse moves are reported without a button held, like the platform's own move message.
    setMouseTracking(true);
}

void TDigit::RouteChangesHere() {
    auto repaintMe = [this] {
        TakePaintTools();
        repaint();
    };
    FOnPen->OnChange = repaintMe;
    FOffPen->OnChange = repaintMe;
    FOnBrush->OnChange = repaintMe;
    FOffBrush->OnChange = repaintMe;
}

void TDigit::TakePaintTools() {
    FPens[0] = ToQPen(*FOffPen);
    FPens[1] = ToQPen(*FOnPen);
    FBrushes[0] = ToQBrush(*FOffBrush);
    FBrushes[1] = ToQBrush(*FOnBrush);
}

void TDigit::SetBars(TBars bars) {
    if (bars == FBars) return;
    const TBars before = FBars;
    FBars = bars;
    FValue = QChar(0);
    RepaintChange(before);
}

// A pen or brush given from outside is copied into the control's own object, so the control
// never holds an object it does not own; the copy's change notification repaints.
void TDigit::SetOnPen(const TPen* pen) {
    if (pen != nullptr && pen != FOnPen.get()) FOnPen->Assign(*pen);
}

void TDigit::SetOffPen(const TPen* pen) {
    if (pen != nullptr && pen != FOffPen.get()) FOffPen->Assign(*pen);
}

void TDigit::SetOnBrush(const TBrush* brush) {
    if (brush != nullptr && brush != FOnBrush.get()) FOnBrush->Assign(*brush);
}

void TDigit::SetOffBrush(const TBrush* brush) {
    if (brush != nullptr && brush != FOffBrush.get()) FOffBrush->Assign(*brush);
}

// The same character again changes nothing, not even a dp changed meanwhile. An unknown
// character keeps the segments but leaves Value at 0, so the next write is always applied.
void TDigit::SetValue(QChar value) {
    if (value == FValue) return;
    const TBars before = FBars;
    FValue = value;
    TBars bars = 0;
    if (CharacterBars(value, &bars))
        FBars = bars;
    else
        FValue = QChar(0);
    if (Fdp) FBars |= BarBit(brPoint);
    RepaintChange(before);
}

// Only the segments that changed are redrawn, the unchanged pixels around them stay as they
// are: the control paints the same figure from the same state, so nothing else could differ.
// A repaint limited so keeps clear of the neighbouring cells, which overlap the control's
// edges by a pixel and would otherwise be painted too. A write that lights the same segments
// still repaints, the whole control.
void TDigit::RepaintChange(TBars before) {
    const TBars changed = TBars(before ^ FBars);
    if (changed == 0)
        repaint();
    else
        repaint(SegmentsArea(changed));
}

void TDigit::SetShift(int32_t shift) {
    if (shift == FShift) return;
    FShift = shift;
    repaint();
}

bool TDigit::CharacterBars(QChar character, TBars* bars) {
    if (character.unicode() > 0x7E) return false;
    for (const CharacterFigure& figure : kFigures) {
        if (character.unicode() == char16_t(figure.character)) {
            *bars = figure.bars;
            return true;
        }
    }
    return false;
}

TDigit::TSegmentPolygons TDigit::SegmentPolygons(int width, int height, int shift) {
    return ScaleOutline(kOutlineX, kOutlineY, width, height, shift);
}

// The scale factors are kept in single precision, but each product is taken in double: with a
// height of 81 the single ky is a little above 2.7, and that excess is what puts 15 · ky above
// 40.5 (a single-precision product would round it back to exactly 40.5 and then to 40).
TDigit::TSegmentPolygons TDigit::ScaleOutline(const TOutlineTable& xs, const TOutlineTable& ys,
                                              int width, int height, int shift) {
    const float kx = float(double(width - shift) / kGridWidth);
    const float ky = float(double(height) / kGridHeight);
    TSegmentPolygons polygons;
    for (size_t bar = 0; bar < polygons.size(); ++bar) {
        QPolygon& polygon = polygons[bar];
        polygon.reserve(6);
        for (size_t vertex = 0; vertex < 6; ++vertex) {
            const double gx = xs[bar][vertex];
            const double gy = ys[bar][vertex];
            // The slant uses the design y: the top edge moves right by the whole shift, the
            // bottom edge stays put.
            const double px = gx * double(kx) - double(shift) * (gy / kGridHeight - 1.0);
            const double py = gy * double(ky);
            polygon << QPoint(RoundHalfEven(px), RoundHalfEven(py));
        }
    }
    return polygons;
}

void TDigit::UpdateGeometry() {
    if (size() == FGeometrySize && FShift == FGeometryShift) return;
    FPolygons = ScaleOutline(x, y, width(), height(), FShift);
    for (size_t bar = 0; bar < FPolygons.size(); ++bar)
        FBounds[bar] = FPolygons[bar].boundingRect();
    FGeometrySize = size();
    FGeometryShift = FShift;
}

// An outline reaches half its pen's width beyond its polygon; one pixel more covers the
// rounding of a wide pen.
int TDigit::OutlineMargin() const {
    return std::max(FOnPen->Width(), FOffPen->Width()) / 2 + 1;
}

QRect TDigit::SegmentsArea(TBars bars) {
    UpdateGeometry();
    const int margin = OutlineMargin();
    QRect area;
    for (size_t bar = 0; bar < FBounds.size(); ++bar)
        if (HasBar(bars, TBar(bar)))
            area |= FBounds[bar].adjusted(-margin, -margin, margin, margin);
    return area;
}

void TDigit::DrawSegment(QPainter& canvas, size_t bar) {
    const int lit = HasBar(FBars, TBar(bar)) ? 1 : 0;
    canvas.setPen(FPens[lit]);
    canvas.setBrush(FBrushes[lit]);
    canvas.drawPolygon(FPolygons[bar]);
}

void TDigit::Paint(QPainter& canvas) {
    UpdateGeometry();
    for (size_t bar = 0; bar < FPolygons.size(); ++bar) DrawSegment(canvas, bar);
}

TBars TDigit::SegmentsWithin(const QRect& area) {
    UpdateGeometry();
    const int margin = OutlineMargin();
    TBars within = 0;
    for (size_t bar = 0; bar < FBounds.size(); ++bar)
        if (FBounds[bar].adjusted(-margin, -margin, margin, margin).intersects(area))
            within |= BarBit(TBar(bar));
    return within;
}

// The segments keep their fixed order, so where two outlines touch, the later one still lies
// on top as in a full Paint.
void TDigit::PaintWithin(QPainter& canvas, const QRect& area) {
    const TBars within = SegmentsWithin(area);
    for (size_t bar = 0; bar < FPolygons.size(); ++bar)
        if (HasBar(within, TBar(bar))) DrawSegment(canvas, bar);
}

// A neighbouring cell's repaint reaches a pixel's width into this control, where no segment
// lies: then there is nothing to draw and no painter is made.
void TDigit::paintEvent(QPaintEvent* event) {
    if (SegmentsWithin(event->rect()) == 0) return;
    QPainter canvas(this);
    PaintWithin(canvas, event->rect());
}

// The handler takes the move in place of the base class: nothing else sees it.
void TDigit::mouseMoveEvent(QMouseEvent* event) {
    if (!FOnMouseMove) return;
    const QPoint at = event->position().toPoint();
    FOnMouseMove(this, event->modifiers(), int(int16_t(at.x())), int(int16_t(at.y())));
}
