#include "controls/StandardIcon.h"

#include <QIconEngine>
#include <QPainter>
#include <QPointer>
#include <QWidget>

namespace controls {

namespace {

class StandardIconEngine : public QIconEngine {
public:
    StandardIconEngine(const QStyle& style, QStyle::StandardPixmap which, const QWidget* widget)
        : FStyle(const_cast<QStyle*>(&style)),
          FWidget(const_cast<QWidget*>(widget)),
          FWhich(which) {}

    QIconEngine* clone() const override { return new StandardIconEngine(*this); }
    QString key() const override { return QStringLiteral("tessera.standard"); }

    QSize actualSize(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
        return IconFor(size).actualSize(size, mode, state);
    }
    QList<QSize> availableSizes(QIcon::Mode mode, QIcon::State state) override {
        return Whole().availableSizes(mode, state);
    }
    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
        return IconFor(size).pixmap(size, 1.0, mode, state);
    }
    // `size` is in device pixels already here.
    QPixmap scaledPixmap(const QSize& size, QIcon::Mode mode, QIcon::State state, qreal) override {
        return IconFor(size).pixmap(size, 1.0, mode, state);
    }
    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode,
               QIcon::State state) override {
        const qreal scale = painter->device() ? painter->device()->devicePixelRatioF() : 1.0;
        IconFor(rect.size() * scale).paint(painter, rect, Qt::AlignCenter, mode, state);
    }
    // Asked by every button's size hint: answered without loading anything, since a button on a
    // page never opened need never decode its picture. A style without this icon draws nothing.
    bool isNull() override { return FLoaded && FSmall.isNull() && FWhole.isNull(); }

private:
    // The single pixmap when it covers the device pixels asked (it is scaled down, as the
    // style's icon would scale its next bigger picture); the style's whole icon when it is too
    // small, so that a bigger button never shows a blown-up picture.
    const QIcon& IconFor(const QSize& devicePixels) {
        LoadSmall();
        const bool covers = FSmallSize.width() >= devicePixels.width() &&
                            FSmallSize.height() >= devicePixels.height();
        return covers ? FSmall : Whole();
    }
    void LoadSmall() {
        if (FLoaded || !FStyle) return;
        FLoaded = true;
        FSmall = QIcon(FStyle->standardPixmap(FWhich, nullptr, FWidget));
        if (!FSmall.isNull()) FSmallSize = FSmall.availableSizes().value(0);
    }
    const QIcon& Whole() {
        if (FWhole.isNull() && FStyle) FWhole = FStyle->standardIcon(FWhich, nullptr, FWidget);
        if (!FWhole.isNull()) return FWhole;
        LoadSmall();
        return FSmall;
    }

    // Watched, not owned: the style may be replaced, the widget closed, before the icon goes.
    QPointer<QStyle> FStyle;
    QPointer<QWidget> FWidget;
    QStyle::StandardPixmap FWhich;
    bool FLoaded = false;  // the single pixmap asked of the style, at the first drawing
    QIcon FSmall;
    QSize FSmallSize;
    QIcon FWhole;
};

}  // namespace

QIcon StandardIcon(const QStyle& style, QStyle::StandardPixmap which, const QWidget* widget) {
    return QIcon(new StandardIconEngine(style, which, widget));
}

}  // namespace controls
