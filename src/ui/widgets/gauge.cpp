#include "ui/widgets/gauge.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPalette>

#include <algorithm>
#include <cmath>
#include <numbers>

namespace orv {

namespace {

// The classic pen modes 1..16 as raster operations on the surface.
QPainter::CompositionMode CompositionFor(int16_t drawMode) {
    switch (drawMode) {
    case 1:
        return QPainter::RasterOp_ClearDestination;
    case 2:
        return QPainter::RasterOp_NotSourceAndNotDestination;
    case 3:
        return QPainter::RasterOp_NotSourceAndDestination;
    case 4:
        return QPainter::RasterOp_NotSource;
    case 5:
        return QPainter::RasterOp_SourceAndNotDestination;
    case 6:
        return QPainter::RasterOp_NotDestination;
    case 7:
        return QPainter::RasterOp_SourceXorDestination;
    case 8:
        return QPainter::RasterOp_NotSourceOrNotDestination;
    case 9:
        return QPainter::RasterOp_SourceAndDestination;
    case 10:
        return QPainter::RasterOp_NotSourceXorDestination;
    case 11:
        return QPainter::CompositionMode_Destination;
    case 12:
        return QPainter::RasterOp_NotSourceOrDestination;
    case 14:
        return QPainter::RasterOp_SourceOrNotDestination;
    case 15:
        return QPainter::RasterOp_SourceOrDestination;
    case 16:
        return QPainter::RasterOp_SetDestination;
    default:
        return QPainter::CompositionMode_Source;
    }
}

QColor DefaultBackColor() {
    return QPalette().color(QPalette::Button);
}

QColor DefaultForeColor() {
    return QPalette().color(QPalette::ButtonText);
}

} // namespace

QColor ColorFromColorRef(int32_t colorRef) {
    const auto v = static_cast<uint32_t>(colorRef);
    return QColor(v & 0xFF, (v >> 8) & 0xFF, (v >> 16) & 0xFF);
}

int32_t ColorRefFromColor(const QColor& color) {
    return static_cast<int32_t>(static_cast<uint32_t>(color.red()) |
                                (static_cast<uint32_t>(color.green()) << 8) |
                                (static_cast<uint32_t>(color.blue()) << 16));
}

Gauge::Gauge(QWidget* parent) : QWidget(parent) {
    backColor_ = DefaultBackColor();
    foreColor_ = DefaultForeColor();
    setAttribute(Qt::WA_OpaquePaintEvent);
    InitProperties();
}

void Gauge::InitProperties() {
    suppressPaint_ = true;
    SetFillPicture(QPixmap());
    SetMin(0);
    SetMax(100);
    SetNarrowColor(0);
    SetNarrowPercent(50);
    SetOrientation(0);
    SetGaugeStyle(0);
    SetTicWidth(3);
    SetValue(75);
    suppressPaint_ = false;
    Draw();
    SetTicSpacing(10);
}

void Gauge::Changed(const char* name) {
    emit PropertyChanged(QString::fromLatin1(name));
    Draw();
}

void Gauge::SetMin(int32_t v) {
    min_ = v;
    Changed("Min");
}
void Gauge::SetMax(int32_t v) {
    max_ = v;
    Changed("Max");
}
void Gauge::SetValue(int32_t v) {
    value_ = v;
    Changed("Value");
}
void Gauge::SetGaugeStyle(int32_t v) {
    style_ = v;
    Changed("GaugeStyle");
}
void Gauge::SetOrientation(int32_t v) {
    orientation_ = v;
    Changed("Orientation");
}
void Gauge::SetFillColor(const QColor& c) {
    fillColor_ = c;
    Changed("FillColor");
}
void Gauge::SetBackColor(const QColor& c) {
    backColor_ = c;
    Changed("BackColor");
}
void Gauge::SetForeColor(const QColor& c) {
    foreColor_ = c;
    Changed("ForeColor");
}
void Gauge::SetBorderStyle(int16_t v) {
    borderStyle_ = v;
    // The border takes one pixel on each side, so the drawing surface shrinks inside it.
    const int m = v == 1 ? 1 : 0;
    setContentsMargins(m, m, m, m);
    surface_ = QImage();
    Changed("BorderStyle");
}
void Gauge::SetDrawMode(int16_t v) {
    drawMode_ = v;
    Changed("DrawMode");
}
void Gauge::SetDrawWidth(int16_t v) {
    drawWidth_ = v;
    Changed("DrawWidth");
}
void Gauge::SetEnabled(bool v) {
    setEnabled(v);
    Changed("Enabled");
}
void Gauge::SetFillPicture(const QPixmap& p) {
    fillPicture_ = p;
    Changed("FillPicture");
}
void Gauge::SetNarrowColor(int32_t v) {
    narrowColor_ = v;
    Changed("NarrowColor");
}
void Gauge::SetNarrowPercent(int16_t v) {
    narrowPercent_ = v;
    Changed("NarrowPercent");
}
void Gauge::SetTicWidth(int16_t v) {
    ticWidth_ = v;
    Changed("TicWidth");
}
void Gauge::SetTicSpacing(int16_t v) {
    ticSpacing_ = v;
    Changed("TicSpacing");
}

void Gauge::ReadProperties(const PropertyBag& bag) {
    auto get = [&bag](const char* name, const QVariant& def) {
        return bag.value(QString::fromLatin1(name), def);
    };
    suppressPaint_ = true;
    SetBorderStyle(static_cast<int16_t>(get("BorderStyle", 0).toInt()));
    SetBackColor(get("BackColor", DefaultBackColor()).value<QColor>());
    SetDrawMode(static_cast<int16_t>(get("DrawMode", kDrawModeCopyPen).toInt()));
    SetDrawWidth(static_cast<int16_t>(get("DrawWidth", 1).toInt()));
    SetEnabled(get("Enabled", true).toBool());
    SetFillColor(get("FillColor", QColor(Qt::black)).value<QColor>());
    SetForeColor(get("ForeColor", DefaultForeColor()).value<QColor>());
    SetFillPicture(get("FillPicture", QPixmap()).value<QPixmap>());
    SetMin(get("Min", 0).toInt());
    SetMax(get("Max", 100).toInt());
    SetNarrowColor(get("NarrowColor", 0).toInt());
    SetNarrowPercent(static_cast<int16_t>(get("NarrowPercent", 50).toInt()));
    SetOrientation(get("Orientation", 0).toInt());
    SetGaugeStyle(get("GaugeStyle", 0).toInt());
    SetTicWidth(static_cast<int16_t>(get("TicWidth", 3).toInt()));
    SetValue(get("Value", 75).toInt());
    suppressPaint_ = false;
    Draw();
    SetTicSpacing(static_cast<int16_t>(get("TicSpacing", 10).toInt()));
}

void Gauge::WriteProperties(PropertyBag& bag) const {
    auto put = [&bag](const char* name, const QVariant& value, const QVariant& def) {
        if (value != def)
            bag.insert(QString::fromLatin1(name), value);
        else
            bag.remove(QString::fromLatin1(name));
    };
    put("BorderStyle", borderStyle_, 0);
    put("BackColor", backColor_, DefaultBackColor());
    put("DrawMode", drawMode_, kDrawModeCopyPen);
    put("DrawWidth", drawWidth_, 1);
    put("Enabled", isEnabled(), true);
    put("FillColor", fillColor_, QColor(Qt::black));
    put("ForeColor", foreColor_, DefaultForeColor());
    if (fillPicture_.isNull())
        bag.remove(QStringLiteral("FillPicture"));
    else
        bag.insert(QStringLiteral("FillPicture"), fillPicture_);
    put("Min", min_, 0);
    put("Max", max_, 100);
    put("NarrowColor", narrowColor_, 0);
    put("NarrowPercent", narrowPercent_, 50);
    put("Orientation", orientation_, 0);
    put("GaugeStyle", style_, 0);
    put("TicWidth", ticWidth_, 3);
    put("Value", value_, 75);
    put("TicSpacing", ticSpacing_, 10);
}

double Gauge::Fraction() const {
    if (min_ < max_)
        return (static_cast<double>(value_) - min_) / (static_cast<double>(max_) - min_);
    return 0.0;
}

QRectF Gauge::BarRect() const {
    const QSizeF size = contentsRect().size();
    const double w = size.width();
    const double h = size.height();
    const double f = Fraction();
    switch (orientation_) {
    case 1:
        return QRectF(w - f * w, 0, f * w, h);
    case 2:
        return QRectF(0, h - f * h, w, f * h);
    case 3:
        return QRectF(0, 0, w, f * h);
    default:
        return QRectF(0, 0, f * w, h);
    }
}

int32_t Gauge::ValueAt(QPointF pos) const {
    const double w = std::max(1, contentsRect().width());
    const double h = std::max(1, contentsRect().height());
    double f;
    if (style_ == 1) {
        // The angle seen from the middle of the bottom edge: pointing right is Min, left Max.
        const double angle = std::atan2(h - pos.y(), pos.x() - w / 2.0);
        f = std::clamp(angle, 0.0, std::numbers::pi) / std::numbers::pi;
    } else {
        switch (orientation_) {
        case 1:
            f = (w - pos.x()) / w;
            break;
        case 2:
            f = (h - pos.y()) / h;
            break;
        case 3:
            f = pos.y() / h;
            break;
        default:
            f = pos.x() / w;
            break;
        }
    }
    const double v = std::round(min_ + f * (static_cast<double>(max_) - min_));
    return static_cast<int32_t>(
        std::clamp(v, static_cast<double>(min_), static_cast<double>(max_)));
}

void Gauge::Draw() {
    if (suppressPaint_)
        return;
    Render();
    update();
}

void Gauge::Render() {
    const QSize size = contentsRect().size();
    if (surface_.size() != size)
        surface_ = QImage(size.expandedTo(QSize(0, 0)), QImage::Format_RGB32);
    ++drawCount_;
    if (!surface_.isNull()) {
        surface_.fill(backColor_);
        QPainter p(&surface_);
        p.setCompositionMode(CompositionFor(drawMode_));
        p.setPen(QPen(foreColor_, drawWidth_));
        switch (style_) {
        case 1:
            DrawNeedle(p);
            break;
        case 2:
            DrawNarrow(p);
            break;
        case 3:
            DrawTics(p);
            break;
        case 4:
            DrawPicture(p);
            break;
        default:
            DrawBar(p);
            break;
        }
    }
}

void Gauge::DrawBar(QPainter& p) {
    const QRectF r = BarRect().normalized();
    // The surface's fill colour covers the rectangle; its outline is not part of the bar.
    p.fillRect(r, fillColor_);
}

void Gauge::DrawNeedle(QPainter& p) {
    const double w = surface_.width();
    const double h = surface_.height();
    const double radius = std::min(w / 2.0, h) - drawWidth_;
    const QPointF centre(w / 2.0, h);
    const double f = std::clamp(Fraction(), 0.0, 1.0);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath sector;
    sector.moveTo(centre);
    sector.arcTo(QRectF(centre.x() - radius, centre.y() - radius, 2 * radius, 2 * radius), 180.0,
                 -180.0 * f);
    sector.closeSubpath();
    p.fillPath(sector, fillColor_);
    const double angle = std::numbers::pi * (1.0 - f);
    p.drawLine(centre, centre + QPointF(std::cos(angle) * radius, -std::sin(angle) * radius));
}

void Gauge::DrawNarrow(QPainter& p) {
    // The unfilled remainder is a narrow band along the middle, NarrowPercent of the thickness.
    const QRectF full(QPointF(0, 0), QSizeF(surface_.size()));
    const bool vertical = orientation_ == 2 || orientation_ == 3;
    const double thick = vertical ? full.width() : full.height();
    const double band = thick * std::clamp<int>(narrowPercent_, 0, 100) / 100.0;
    const double off = (thick - band) / 2.0;
    const QRectF narrow =
        vertical ? QRectF(off, 0, band, full.height()) : QRectF(0, off, full.width(), band);
    p.fillRect(narrow, ColorFromColorRef(narrowColor_));
    p.fillRect(BarRect().normalized().intersected(full), fillColor_);
}

void Gauge::DrawTics(QPainter& p) {
    const QRectF bar = BarRect().normalized().intersected(QRectF(QPointF(0, 0), surface_.size()));
    const bool vertical = orientation_ == 2 || orientation_ == 3;
    const int step = std::max<int>(1, ticSpacing_);
    const int tic = std::clamp<int>(ticWidth_, 1, step);
    const double length = vertical ? surface_.height() : surface_.width();
    for (double pos = 0; pos < length; pos += step) {
        // Tics are laid out from the edge the bar grows from.
        const bool fromFar = orientation_ == 1 || orientation_ == 2;
        const double start = fromFar ? length - pos - tic : pos;
        const QRectF t = vertical ? QRectF(0, start, surface_.width(), tic)
                                  : QRectF(start, 0, tic, surface_.height());
        const QRectF on = t.intersected(bar);
        if (!on.isEmpty())
            p.fillRect(on, fillColor_);
    }
}

void Gauge::DrawPicture(QPainter& p) {
    const QRectF bar = BarRect().normalized().intersected(QRectF(QPointF(0, 0), surface_.size()));
    if (fillPicture_.isNull())
        p.fillRect(bar, fillColor_);
    else
        p.drawTiledPixmap(bar, fillPicture_);
}

void Gauge::paintEvent(QPaintEvent*) {
    if (!suppressPaint_)
        Render();
    QPainter p(this);
    if (borderStyle_ == 1) {
        p.setPen(palette().color(QPalette::WindowText));
        p.drawRect(rect().adjusted(0, 0, -1, -1));
    }
    p.drawImage(contentsRect().topLeft(), surface_);
}

void Gauge::resizeEvent(QResizeEvent*) {
    Draw();
}

void Gauge::mousePressEvent(QMouseEvent* event) {
    if (min_ >= max_)
        return;
    tracking_ = true;
    SetValue(ValueAt(event->position() - contentsRect().topLeft()));
    emit Scroll();
}

void Gauge::mouseMoveEvent(QMouseEvent* event) {
    if (!tracking_ || min_ >= max_)
        return;
    const int32_t v = ValueAt(event->position() - contentsRect().topLeft());
    if (v != value_) {
        SetValue(v);
        emit Scroll();
    }
}

void Gauge::mouseReleaseEvent(QMouseEvent* event) {
    if (!tracking_ || min_ >= max_)
        return;
    tracking_ = false;
    SetValue(ValueAt(event->position() - contentsRect().topLeft()));
    emit Change();
}

} // namespace orv
