#include "ui/Icons.h"

#include "ui/Colours.h"

#include <QGuiApplication>
#include <QHash>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

#include <utility>

namespace ui {
namespace {

constexpr int kSize = 64; // drawn large, scaled down smoothly

void Page(QPainter& p, QRectF r) {
    QPainterPath path;
    const double fold = r.width() * 0.3;
    path.moveTo(r.topLeft());
    path.lineTo(r.right() - fold, r.top());
    path.lineTo(r.right(), r.top() + fold);
    path.lineTo(r.bottomRight());
    path.lineTo(r.bottomLeft());
    path.closeSubpath();
    p.setPen(QPen(QColor(70, 70, 90), 2.5));
    p.setBrush(Qt::white);
    p.drawPath(path);
    p.drawLine(QPointF(r.right() - fold, r.top()), QPointF(r.right() - fold, r.top() + fold));
    p.drawLine(QPointF(r.right() - fold, r.top() + fold), QPointF(r.right(), r.top() + fold));
    p.setPen(QPen(QColor(150, 150, 170), 2));
    for (double y = r.top() + fold + 6; y < r.bottom() - 6; y += 7)
        p.drawLine(QPointF(r.left() + 7, y), QPointF(r.right() - 7, y));
}

void Triangle(QPainter& p, double cx, double cy, double h, bool right) {
    QPainterPath t;
    const double d = right ? 1 : -1;
    t.moveTo(cx - d * h / 2, cy - h / 2);
    t.lineTo(cx + d * h / 2, cy);
    t.lineTo(cx - d * h / 2, cy + h / 2);
    t.closeSubpath();
    p.drawPath(t);
}

void SortGlyph(QPainter& p, bool ascending) {
    QFont f("DejaVu Sans");
    f.setPixelSize(22);
    f.setBold(true);
    p.setFont(f);
    p.setPen(QColor(0, 0, 128));
    p.drawText(QRectF(4, 4, 30, 26), Qt::AlignCenter, ascending ? "A" : "Z");
    p.drawText(QRectF(4, 34, 30, 26), Qt::AlignCenter, ascending ? "Z" : "A");
    p.setPen(QPen(QColor(0, 120, 40), 5, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(48, 10), QPointF(48, 54));
    QPainterPath head;
    const double tip = ascending ? 6 : 58, base = ascending ? 22 : 42;
    head.moveTo(48, tip);
    head.lineTo(38, base);
    head.lineTo(58, base);
    head.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 120, 40));
    p.drawPath(head);
}

void NewPair(QPainter& p) {
    Page(p, QRectF(10, 6, 38, 50));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 140, 50));
    p.drawEllipse(QPointF(46, 46), 14, 14);
    p.setBrush(Qt::white);
    p.drawRect(QRectF(39, 43.5, 14, 5));
    p.drawRect(QRectF(43.5, 39, 5, 14));
}

void EditPair(QPainter& p) {
    Page(p, QRectF(8, 6, 38, 50));
    p.translate(40, 36);
    p.rotate(45);
    p.setPen(QPen(QColor(90, 60, 0), 2));
    p.setBrush(QColor(245, 190, 40));
    p.drawRect(QRectF(-6, -26, 12, 36));
    p.setBrush(QColor(250, 220, 170));
    QPainterPath tip;
    tip.moveTo(-6, 10);
    tip.lineTo(6, 10);
    tip.lineTo(0, 22);
    tip.closeSubpath();
    p.drawPath(tip);
}

void Cross(QPainter& p) {
    p.setPen(QPen(QColor(200, 20, 20), 10, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(14, 14), QPointF(50, 50));
    p.drawLine(QPointF(50, 14), QPointF(14, 50));
}

void Magnifier(QPainter& p) {
    Page(p, QRectF(6, 4, 38, 50));
    p.setPen(QPen(QColor(60, 60, 60), 6, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(44, 44), QPointF(58, 58));
    p.setPen(QPen(QColor(60, 60, 60), 4));
    p.setBrush(QColor(200, 230, 255, 200));
    p.drawEllipse(QPointF(36, 36), 12, 12);
}

void Printer(QPainter& p) {
    p.setPen(QPen(QColor(60, 60, 70), 2.5));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(18, 6, 28, 20));
    p.setBrush(QColor(170, 175, 190));
    p.drawRoundedRect(QRectF(6, 22, 52, 24), 4, 4);
    p.setBrush(Qt::white);
    p.drawRect(QRectF(16, 38, 32, 20));
    p.setPen(QPen(QColor(150, 150, 170), 2));
    p.drawLine(QPointF(21, 46), QPointF(43, 46));
    p.drawLine(QPointF(21, 52), QPointF(43, 52));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 170, 60));
    p.drawEllipse(QPointF(50, 30), 3, 3);
}

void PrinterWithCog(QPainter& p) { // the print settings
    Printer(p);
    p.setPen(QPen(QColor(20, 90, 200), 5, Qt::SolidLine, Qt::FlatCap));
    for (int a = 0; a < 8; ++a) {
        p.save();
        p.translate(50, 50);
        p.rotate(a * 45);
        p.drawLine(QPointF(0, 7), QPointF(0, 12));
        p.restore();
    }
    p.setPen(QPen(QColor(20, 90, 200), 2));
    p.setBrush(QColor(120, 170, 240));
    p.drawEllipse(QPointF(50, 50), 8, 8);
    p.setBrush(Qt::white);
    p.drawEllipse(QPointF(50, 50), 3, 3);
}

void QuestionMark(QPainter& p) {
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(20, 90, 200));
    p.drawEllipse(QRectF(6, 6, 52, 52));
    QFont f("DejaVu Sans");
    f.setPixelSize(38);
    f.setBold(true);
    p.setFont(f);
    p.setPen(Qt::white);
    p.drawText(QRectF(6, 6, 52, 52), Qt::AlignCenter, "?");
}

void Door(QPainter& p) {
    p.setPen(QPen(QColor(90, 60, 30), 2.5));
    p.setBrush(QColor(180, 120, 60));
    p.drawRect(QRectF(8, 6, 30, 52));
    p.setBrush(QColor(240, 200, 60));
    p.drawEllipse(QPointF(32, 34), 2.5, 2.5);
    p.setPen(QPen(QColor(200, 20, 20), 6, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(34, 32), QPointF(52, 32));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(200, 20, 20));
    Triangle(p, 54, 32, 18, true);
}

// A move button: an arrow, with a bar at the end it goes to for first and last (barX >= 0).
void Arrow(QPainter& p, bool right, double barX = -1) {
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 128));
    Triangle(p, 32, 32, 30, right);
    if (barX >= 0) p.drawRect(QRectF(barX, 17, 5, 30));
}

using Painter = void (*)(QPainter&);
const std::pair<const char*, Painter> kPainters[] = {
    {"nova", NewPair},
    {"ok", EditPair},
    {"delete", Cross},
    {"pregledaj", Magnifier},
    {"asc", [](QPainter& p) { SortGlyph(p, true); }},
    {"desc", [](QPainter& p) { SortGlyph(p, false); }},
    {"alati", PrinterWithCog},
    {"ispis", Printer},
    {"help", QuestionMark},
    {"izlaz", Door},
    {"first", [](QPainter& p) { Arrow(p, false, 12); }},
    {"previous", [](QPainter& p) { Arrow(p, false); }},
    {"next", [](QPainter& p) { Arrow(p, true); }},
    {"last", [](QPainter& p) { Arrow(p, true, 47); }},
};

void Draw(QPainter& p, const QString& name) {
    p.setRenderHint(QPainter::Antialiasing);
    for (const auto& [key, paint] : kPainters)
        if (name == QLatin1String(key)) return paint(p);
    Arrow(p, false); // a name without a picture of its own still gets one
}

} // namespace

QIcon ButtonIcon(const QString& name) {
    QImage picture(kSize, kSize, QImage::Format_ARGB32_Premultiplied); // as a pixmap is painted
    picture.fill(Qt::transparent);
    QPainter p(&picture);
    Draw(p, name);
    p.end();
    if (IsDark(QGuiApplication::palette())) {
        // Every colour of the picture stands out from a dark button, each lightened once.
        const QColor button = QGuiApplication::palette().color(QPalette::Button);
        picture.convertTo(QImage::Format_ARGB32);
        QHash<QRgb, QRgb> lighter;
        for (int y = 0; y < picture.height(); ++y)
            for (int x = 0; x < picture.width(); ++x) {
                const QRgb was = picture.pixel(x, y);
                if (qAlpha(was) == 0) continue;
                auto it = lighter.find(was);
                if (it == lighter.end()) it = lighter.insert(was, OnBackground(QColor::fromRgba(was), button, kPictureContrast).rgba());
                picture.setPixel(x, y, *it);
            }
    }
    return QIcon(QPixmap::fromImage(picture));
}

} // namespace ui
