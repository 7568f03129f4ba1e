// Gauge: shows a number between Min and Max as the filled part of its area, and lets the user
// drag it to set the number. Style 0, the straight bar, is what the windows use; styles 1 to 4
// (needle, narrow band, tics, picture) exist for completeness.
//
// Drawing goes to a surface image of the control's size, as a persistent drawing surface would:
// every property write draws at once (unless painting is suppressed while properties load), and
// paint requests and resizes draw again before the surface is shown.
#pragma once

#include <QColor>
#include <QImage>
#include <QPixmap>
#include <QPointF>
#include <QRectF>
#include <QString>
#include <QVariantMap>
#include <QWidget>

#include <cstdint>

namespace orv {

// Saved properties of a control, by property name.
using PropertyBag = QVariantMap;

// 0x00BBGGRR, as colours are stored in the classic colour numbers.
QColor ColorFromColorRef(int32_t colorRef);
int32_t ColorRefFromColor(const QColor& color);

class Gauge : public QWidget {
    Q_OBJECT
public:
    static constexpr int16_t kDrawModeCopyPen = 13;

    explicit Gauge(QWidget* parent = nullptr);

    int32_t Min() const { return min_; }
    void SetMin(int32_t v);
    int32_t Max() const { return max_; }
    void SetMax(int32_t v);
    int32_t Value() const { return value_; }
    // Not clamped: the drawing clamps what it needs to.
    void SetValue(int32_t v);
    int32_t GaugeStyle() const { return style_; }
    void SetGaugeStyle(int32_t v);
    int32_t Orientation() const { return orientation_; }
    void SetOrientation(int32_t v);
    QColor FillColor() const { return fillColor_; }
    void SetFillColor(const QColor& c);
    QColor BackColor() const { return backColor_; }
    void SetBackColor(const QColor& c);
    QColor ForeColor() const { return foreColor_; }
    void SetForeColor(const QColor& c);
    int16_t BorderStyle() const { return borderStyle_; }
    void SetBorderStyle(int16_t v);
    int16_t DrawMode() const { return drawMode_; }
    void SetDrawMode(int16_t v);
    int16_t DrawWidth() const { return drawWidth_; }
    void SetDrawWidth(int16_t v);
    bool Enabled() const { return isEnabled(); }
    void SetEnabled(bool v);
    QPixmap FillPicture() const { return fillPicture_; }
    void SetFillPicture(const QPixmap& p);
    int32_t NarrowColor() const { return narrowColor_; }
    void SetNarrowColor(int32_t v);
    int16_t NarrowPercent() const { return narrowPercent_; }
    void SetNarrowPercent(int16_t v);
    int16_t TicWidth() const { return ticWidth_; }
    void SetTicWidth(int16_t v);
    int16_t TicSpacing() const { return ticSpacing_; }
    void SetTicSpacing(int16_t v);

    // Properties as saved with the window that holds the control; a missing name takes its
    // default. Writing leaves out values equal to their defaults.
    void ReadProperties(const PropertyBag& bag);
    void WriteProperties(PropertyBag& bag) const;

    // The filled part of the straight bar in surface coordinates; it may reach past the
    // surface or have a negative extent when Value lies outside Min..Max.
    QRectF BarRect() const;
    // The value a pointer at `pos` stands for (rounded, clamped to Min..Max).
    int32_t ValueAt(QPointF pos) const;
    bool Tracking() const { return tracking_; }

    // What the control shows, and how many times it has been drawn.
    const QImage& Surface() const { return surface_; }
    int DrawCount() const { return drawCount_; }

signals:
    // While the user presses or drags.
    void Scroll();
    // When the user releases the mouse button.
    void Change();
    // A property was written, so the holder knows it must be saved.
    void PropertyChanged(const QString& name);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void InitProperties();
    void Changed(const char* name);
    // Draws now and asks for the surface to be shown.
    void Draw();
    void Render();
    double Fraction() const;
    void DrawBar(class QPainter& p);
    void DrawNeedle(class QPainter& p);
    void DrawNarrow(class QPainter& p);
    void DrawTics(class QPainter& p);
    void DrawPicture(class QPainter& p);

    int32_t min_ = 0;
    int32_t max_ = 100;
    int32_t value_ = 75;
    int32_t style_ = 0;
    int32_t orientation_ = 0;
    QColor fillColor_{Qt::black};
    QColor backColor_;
    QColor foreColor_;
    int16_t borderStyle_ = 0;
    int16_t drawMode_ = kDrawModeCopyPen;
    int16_t drawWidth_ = 1;
    QPixmap fillPicture_;
    int32_t narrowColor_ = 0;
    int16_t narrowPercent_ = 50;
    int16_t ticWidth_ = 3;
    int16_t ticSpacing_ = 10;

    bool suppressPaint_ = false;
    bool tracking_ = false;
    QImage surface_;
    int drawCount_ = 0;
};

} // namespace orv
