// The progress gauge: what it draws, how dragging sets its value, and its saved properties.
#include "ui/widgets/gauge.h"

#include <QApplication>
#include <QMouseEvent>
#include <QSignalSpy>
#include <gtest/gtest.h>

#include <memory>

namespace orv {
namespace {

const QColor kBack(200, 200, 200);
const QColor kFill(0, 255, 0);

std::unique_ptr<Gauge> MakeGauge(int w = 100, int h = 20) {
    auto g = std::make_unique<Gauge>();
    g->resize(w, h);
    g->SetBackColor(kBack);
    g->SetFillColor(kFill);
    return g;
}

bool IsFill(const Gauge& g, int x, int y) {
    return g.Surface().pixelColor(x, y) == kFill;
}

// Counts filled pixels along a line through the middle of the surface.
int FilledAlong(const Gauge& g, bool vertical) {
    int n = 0;
    const QImage& s = g.Surface();
    const int len = vertical ? s.height() : s.width();
    for (int i = 0; i < len; ++i)
        n += vertical ? IsFill(g, s.width() / 2, i) : IsFill(g, i, s.height() / 2);
    return n;
}

void SendMouse(Gauge& g, QEvent::Type type, QPointF pos) {
    const Qt::MouseButtons buttons =
        type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MouseButtons(Qt::LeftButton);
    QMouseEvent e(type, pos, g.mapToGlobal(pos), Qt::LeftButton, buttons, Qt::NoModifier);
    QApplication::sendEvent(&g, &e);
}

TEST(Gauge, NewControlHasTheDocumentedDefaultsAndSavesNothing) {
    Gauge g;
    EXPECT_EQ(g.Min(), 0);
    EXPECT_EQ(g.Max(), 100);
    EXPECT_EQ(g.Value(), 75);
    EXPECT_EQ(g.GaugeStyle(), 0);
    EXPECT_EQ(g.Orientation(), 0);
    EXPECT_EQ(g.FillColor(), QColor(Qt::black));
    EXPECT_EQ(g.BorderStyle(), 0);
    EXPECT_EQ(g.DrawMode(), 13);
    EXPECT_EQ(g.DrawWidth(), 1);
    EXPECT_TRUE(g.Enabled());
    EXPECT_TRUE(g.FillPicture().isNull());
    EXPECT_EQ(g.NarrowPercent(), 50);
    EXPECT_EQ(g.TicWidth(), 3);
    EXPECT_EQ(g.TicSpacing(), 10);
    PropertyBag bag;
    g.WriteProperties(bag);
    EXPECT_TRUE(bag.isEmpty()) << bag.keys().join(",").toStdString();
}

TEST(Gauge, SavedPropertiesComeBackAndMissingOnesTakeTheirDefaults) {
    Gauge a;
    a.SetMin(-10);
    a.SetMax(10);
    a.SetValue(3);
    a.SetOrientation(2);
    a.SetGaugeStyle(3);
    a.SetBorderStyle(1);
    a.SetFillColor(kFill);
    a.SetDrawWidth(4);
    a.SetNarrowColor(0x0000FF);
    a.SetTicSpacing(7);
    a.SetEnabled(false);
    PropertyBag bag;
    a.WriteProperties(bag);
    EXPECT_FALSE(bag.contains("NarrowPercent")); // left at its default

    Gauge b;
    b.SetTicWidth(9); // must go back to its default: the bag has no TicWidth
    b.ReadProperties(bag);
    EXPECT_EQ(b.Min(), -10);
    EXPECT_EQ(b.Max(), 10);
    EXPECT_EQ(b.Value(), 3);
    EXPECT_EQ(b.Orientation(), 2);
    EXPECT_EQ(b.GaugeStyle(), 3);
    EXPECT_EQ(b.BorderStyle(), 1);
    EXPECT_EQ(b.FillColor(), kFill);
    EXPECT_EQ(b.DrawWidth(), 4);
    EXPECT_EQ(b.NarrowColor(), 0x0000FF);
    EXPECT_EQ(b.TicSpacing(), 7);
    EXPECT_EQ(b.TicWidth(), 3);
    EXPECT_FALSE(b.Enabled());
}

TEST(Gauge, LoadingSavedPropertiesDrawsOnceForTheBatchNotPerProperty) {
    Gauge g;
    g.resize(50, 10);
    const int before = g.DrawCount();
    g.SetMin(1);
    g.SetMax(2);
    EXPECT_EQ(g.DrawCount(), before + 2) << "each single write draws";

    PropertyBag bag{{"Min", 5},           {"Max", 50},        {"Value", 20},    {"BorderStyle", 1},
                    {"FillColor", kFill}, {"Orientation", 1}, {"TicSpacing", 4}};
    const int beforeLoad = g.DrawCount();
    QSignalSpy changed(&g, &Gauge::PropertyChanged);
    g.ReadProperties(bag);
    // One draw when loading ends, one for TicSpacing which is read after it.
    EXPECT_EQ(g.DrawCount(), beforeLoad + 2);
    // Every property still tells the holder it changed.
    EXPECT_EQ(changed.count(), 17);
    EXPECT_EQ(changed.last().at(0).toString(), "TicSpacing");
}

TEST(Gauge, HalfValueFillsExactlyTheLeftHalf) {
    auto g = MakeGauge(100, 20);
    g->SetValue(50);
    EXPECT_EQ(g->BarRect(), QRectF(0, 0, 50, 20));
    for (int y : {0, 10, 19}) {
        EXPECT_TRUE(IsFill(*g, 0, y));
        EXPECT_TRUE(IsFill(*g, 49, y));
        EXPECT_FALSE(IsFill(*g, 50, y));
        EXPECT_FALSE(IsFill(*g, 99, y));
    }
    EXPECT_EQ(g->Surface().pixelColor(99, 10), kBack);
}

TEST(Gauge, EachOrientationGrowsFromItsOwnEdge) {
    struct Case {
        int orientation;
        QRectF rect;
        QPoint filled, empty;
    };
    // 25 of 0..100 on a 100 x 40 surface.
    const Case cases[] = {
        {0, QRectF(0, 0, 25, 40), QPoint(24, 20), QPoint(25, 20)},
        {1, QRectF(75, 0, 25, 40), QPoint(75, 20), QPoint(74, 20)},
        {2, QRectF(0, 30, 100, 10), QPoint(50, 30), QPoint(50, 29)},
        {3, QRectF(0, 0, 100, 10), QPoint(50, 9), QPoint(50, 10)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.orientation);
        auto g = MakeGauge(100, 40);
        g->SetOrientation(c.orientation);
        g->SetValue(25);
        EXPECT_EQ(g->BarRect(), c.rect);
        EXPECT_TRUE(IsFill(*g, c.filled.x(), c.filled.y()));
        EXPECT_FALSE(IsFill(*g, c.empty.x(), c.empty.y()));
        const bool vertical = c.orientation >= 2;
        EXPECT_EQ(FilledAlong(*g, vertical), vertical ? 10 : 25);
    }
}

TEST(Gauge, MinEqualToMaxShowsNothingAndIgnoresTheMouse) {
    auto g = MakeGauge();
    g->SetMin(40);
    g->SetMax(40);
    for (int v : {0, 40, 1000}) {
        g->SetValue(v);
        EXPECT_EQ(FilledAlong(*g, false), 0) << v;
    }
    QSignalSpy scroll(g.get(), &Gauge::Scroll);
    QSignalSpy change(g.get(), &Gauge::Change);
    SendMouse(*g, QEvent::MouseButtonPress, QPointF(80, 10));
    SendMouse(*g, QEvent::MouseMove, QPointF(90, 10));
    SendMouse(*g, QEvent::MouseButtonRelease, QPointF(90, 10));
    EXPECT_EQ(g->Value(), 1000);
    EXPECT_EQ(scroll.count(), 0);
    EXPECT_EQ(change.count(), 0);
    EXPECT_FALSE(g->Tracking());
}

TEST(Gauge, ValuesOutsideTheRangeAreKeptAndTheDrawingClampsToTheSurface) {
    auto g = MakeGauge(100, 20);
    g->SetValue(150);
    EXPECT_EQ(g->Value(), 150);
    EXPECT_DOUBLE_EQ(g->BarRect().width(), 150.0);
    EXPECT_EQ(FilledAlong(*g, false), 100);
    g->SetValue(-20);
    EXPECT_EQ(g->Value(), -20);
    EXPECT_LT(g->BarRect().width(), 0.0);
    EXPECT_EQ(FilledAlong(*g, false), 0);
}

TEST(Gauge, DraggingSetsValuesWithinTheRangeAndRaisesScrollThenChange) {
    auto g = MakeGauge(200, 20);
    g->SetMin(10);
    g->SetMax(30);
    QSignalSpy scroll(g.get(), &Gauge::Scroll);
    QSignalSpy change(g.get(), &Gauge::Change);

    SendMouse(*g, QEvent::MouseButtonPress, QPointF(100, 10));
    EXPECT_TRUE(g->Tracking());
    EXPECT_EQ(g->Value(), 20);
    EXPECT_EQ(scroll.count(), 1);

    // Moving within the same value raises nothing.
    SendMouse(*g, QEvent::MouseMove, QPointF(102, 10));
    EXPECT_EQ(scroll.count(), 1);

    SendMouse(*g, QEvent::MouseMove, QPointF(5000, 10));
    EXPECT_EQ(g->Value(), 30);
    EXPECT_EQ(scroll.count(), 2);
    SendMouse(*g, QEvent::MouseMove, QPointF(-300, 10));
    EXPECT_EQ(g->Value(), 10);
    EXPECT_EQ(scroll.count(), 3);
    EXPECT_EQ(change.count(), 0);

    SendMouse(*g, QEvent::MouseButtonRelease, QPointF(250, 10));
    EXPECT_EQ(g->Value(), 30);
    EXPECT_EQ(change.count(), 1);
    EXPECT_FALSE(g->Tracking());
    // Movement after the release is not a drag.
    SendMouse(*g, QEvent::MouseMove, QPointF(0, 10));
    EXPECT_EQ(g->Value(), 30);
}

TEST(Gauge, PointerPositionsMapByOrientationAndRoundToWholeValues) {
    auto g = MakeGauge(100, 50);
    g->SetOrientation(1); // grows right to left
    EXPECT_EQ(g->ValueAt(QPointF(100, 0)), 0);
    EXPECT_EQ(g->ValueAt(QPointF(0, 0)), 100);
    EXPECT_EQ(g->ValueAt(QPointF(70.4, 0)), 30);
    g->SetOrientation(2); // bottom to top
    EXPECT_EQ(g->ValueAt(QPointF(0, 50)), 0);
    EXPECT_EQ(g->ValueAt(QPointF(0, 10)), 80);
    EXPECT_EQ(g->ValueAt(QPointF(0, -10)), 100);
    g->SetOrientation(3);
    EXPECT_EQ(g->ValueAt(QPointF(0, 10)), 20);
    // The needle style reads the angle from the middle of the bottom edge.
    g->SetGaugeStyle(1);
    EXPECT_EQ(g->ValueAt(QPointF(90, 50)), 0);
    EXPECT_EQ(g->ValueAt(QPointF(50, 0)), 50);
    EXPECT_EQ(g->ValueAt(QPointF(10, 49.9)), 100);
}

TEST(Gauge, SingleBorderShrinksTheDrawingSurfaceInsideIt) {
    auto g = MakeGauge(102, 22);
    g->SetBorderStyle(1);
    g->SetValue(50);
    EXPECT_EQ(g->Surface().size(), QSize(100, 20));
    EXPECT_EQ(FilledAlong(*g, false), 50);
    // A press on the border's inner edge is the surface's origin.
    SendMouse(*g, QEvent::MouseButtonPress, QPointF(1, 5));
    EXPECT_EQ(g->Value(), 0);
}

TEST(Gauge, DrawModeCombinesTheFillWithTheBackground) {
    auto g = MakeGauge(100, 20);
    g->SetBackColor(QColor(0x0F, 0xF0, 0x33));
    g->SetFillColor(QColor(0xFF, 0xFF, 0x00));
    g->SetValue(100);
    g->SetDrawMode(7); // exclusive-or pen
    EXPECT_EQ(g->Surface().pixelColor(10, 10), QColor(0xF0, 0x0F, 0x33));
    g->SetDrawMode(11); // no operation: the background stays
    EXPECT_EQ(g->Surface().pixelColor(10, 10), QColor(0x0F, 0xF0, 0x33));
}

TEST(Gauge, OtherStylesDrawSomethingOfTheirOwn) {
    for (int style = 1; style <= 4; ++style) {
        SCOPED_TRACE(style);
        auto g = MakeGauge(100, 50);
        g->SetGaugeStyle(style);
        g->SetValue(0);
        const QImage empty = g->Surface();
        g->SetValue(100);
        EXPECT_NE(g->Surface(), empty);
    }
}

} // namespace
} // namespace orv
