#pragma once
// Seven-segment digit control.
//
// TDigit draws one character as a slanted seven-segment figure with a decimal point. It lives
// on the main thread like every widget; all its state is set through its properties. It paints
// over whatever its parent has drawn beneath it: it never erases a background of its own, the
// off colours of the unlit segments are what keeps the figure visible.
#include <QBrush>
#include <QChar>
#include <QColor>
#include <QPen>
#include <QPolygon>
#include <QRect>
#include <QWidget>
#include <array>
#include <cstdint>
#include <functional>
#include <memory>

// Segments of one digit; the ordinal is the bit number in TBars.
enum TBar : uint8_t {
    brUp = 0,
    brLeftUp,
    brRightUp,
    brMiddle,
    brLeftDown,
    brRightDown,
    brDown,
    brPoint,
};

// Set of lit segments: bit n set = segment of ordinal n lit (brMiddle alone is 0x08).
using TBars = uint8_t;

constexpr TBars BarBit(TBar bar) {
    return TBars(1u << bar);
}
constexpr bool HasBar(TBars bars, TBar bar) {
    return (bars & BarBit(bar)) != 0;
}

// A Windows colour value is 0x00BBGGRR: red in the low byte.
QColor ColorFromColorRef(uint32_t colorRef);

// Outline of a segment: colour, width and style. Owned by the control that created it;
// OnChange is how the control learns that it has to repaint.
class TPen {
public:
    QColor Color() const { return FColor; }
    void SetColor(const QColor& color);
    int Width() const { return FWidth; }
    void SetWidth(int width);
    Qt::PenStyle Style() const { return FStyle; }
    void SetStyle(Qt::PenStyle style);
    void Assign(const TPen& other);
    std::function<void()> OnChange;

private:
    void Changed();
    QColor FColor{Qt::black};
    int FWidth = 1;
    Qt::PenStyle FStyle = Qt::SolidLine;
};

// Fill of a segment: colour and style. Same ownership and notification as TPen.
class TBrush {
public:
    QColor Color() const { return FColor; }
    void SetColor(const QColor& color);
    Qt::BrushStyle Style() const { return FStyle; }
    void SetStyle(Qt::BrushStyle style);
    void Assign(const TBrush& other);
    std::function<void()> OnChange;

private:
    void Changed();
    QColor FColor{Qt::white};
    Qt::BrushStyle FStyle = Qt::SolidPattern;
};

class TDigit : public QWidget {
    Q_OBJECT
public:
    using TMouseMoveEvent =
        std::function<void(QObject* sender, Qt::KeyboardModifiers shift, int x, int y)>;
    using TOutlineTable = std::array<std::array<int32_t, 6>, 8>;
    using TSegmentPolygons = std::array<QPolygon, 8>;

    explicit TDigit(QWidget* owner = nullptr);

    TBars Bars() const { return FBars; }
    void SetBars(TBars bars);
    TPen* OnPen() const { return FOnPen.get(); }
    void SetOnPen(const TPen* pen);
    TPen* OffPen() const { return FOffPen.get(); }
    void SetOffPen(const TPen* pen);
    TBrush* OnBrush() const { return FOnBrush.get(); }
    void SetOnBrush(const TBrush* brush);
    TBrush* OffBrush() const { return FOffBrush.get(); }
    void SetOffBrush(const TBrush* brush);
    QChar Value() const { return FValue; }
    void SetValue(QChar value);
    int32_t Shift() const { return FShift; }
    void SetShift(int32_t shift);
    bool dp() const { return Fdp; }
    void Setdp(bool dp) { Fdp = dp; }
    const TMouseMoveEvent& OnMouseMove() const { return FOnMouseMove; }
    void SetOnMouseMove(TMouseMoveEvent handler) { FOnMouseMove = std::move(handler); }

    // Draws the figure with this control's size, shift and colours.
    void Paint(QPainter& canvas);
    // The same, limited to the segments that reach into `area` (control coordinates).
    void PaintWithin(QPainter& canvas, const QRect& area);

    // The eight segment polygons, in TBar order, as drawn on a control of the given size.
    static TSegmentPolygons SegmentPolygons(int width, int height, int shift);

    // Segments lit for a character; false when the character has no figure.
    static bool CharacterBars(QChar character, TBars* bars);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    static TSegmentPolygons ScaleOutline(const TOutlineTable& xs, const TOutlineTable& ys,
                                         int width, int height, int shift);
    void RouteChangesHere();
    void TakePaintTools();
    void UpdateGeometry();
    int OutlineMargin() const;
    // Where the segments of `bars` are drawn, outlines included.
    QRect SegmentsArea(TBars bars);
    void DrawSegment(QPainter& canvas, size_t bar);
    // The segments whose outline reaches into `area`.
    TBars SegmentsWithin(const QRect& area);
    // Redraws what a change of the lit set from `before` to FBars alters.
    void RepaintChange(TBars before);

    TBars FBars = 0;
    std::unique_ptr<TPen> FOnPen;
    std::unique_ptr<TPen> FOffPen;
    std::unique_ptr<TBrush> FOnBrush;
    std::unique_ptr<TBrush> FOffBrush;
    QChar FValue{0};
    int32_t FShift = 2;
    bool Fdp = false;
    TMouseMoveEvent FOnMouseMove;
    TOutlineTable x{};
    TOutlineTable y{};

    // Drawn from these, not recomputed per paint: the segment polygons for the size and shift
    // they were made for, their bounds, and the pens and brushes as Qt objects (index 0 unlit,
    // 1 lit), taken again whenever a TPen or TBrush reports a change.
    TSegmentPolygons FPolygons;
    std::array<QRect, 8> FBounds;
    QSize FGeometrySize{-1, -1};
    int32_t FGeometryShift = 0;
    QPen FPens[2];
    QBrush FBrushes[2];
};
