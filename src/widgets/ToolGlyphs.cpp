#include "widgets/ToolGlyphs.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace {
const QColor kInk(48, 48, 48);
const QColor kPaper(255, 255, 255);
const QColor kBlue(42, 111, 176);
const QColor kYellow(232, 184, 48);
const QColor kRed(192, 48, 48);
const QColor kGreen(46, 139, 62);
const QColor kGrey(150, 150, 150);

void Page(QPainter& p, QRectF r) {
    QPainterPath path;
    const qreal fold = 4;
    path.moveTo(r.left(), r.top());
    path.lineTo(r.right() - fold, r.top());
    path.lineTo(r.right(), r.top() + fold);
    path.lineTo(r.right(), r.bottom());
    path.lineTo(r.left(), r.bottom());
    path.closeSubpath();
    p.setBrush(kPaper);
    p.setPen(QPen(kInk, 1.2));
    p.drawPath(path);
    p.drawLine(QPointF(r.right() - fold, r.top()), QPointF(r.right() - fold, r.top() + fold));
    p.drawLine(QPointF(r.right() - fold, r.top() + fold), QPointF(r.right(), r.top() + fold));
}

void TextLines(QPainter& p, QRectF r, int count, QColor colour = kGrey) {
    p.setPen(QPen(colour, 1.2));
    for (int i = 0; i < count; ++i) {
        qreal y = r.top() + 3 + i * 3;
        p.drawLine(QPointF(r.left() + 2.5, y), QPointF(r.right() - 2.5, y));
    }
}

void Floppy(QPainter& p, QRectF r) {
    p.setPen(QPen(kInk, 1.2));
    p.setBrush(kBlue);
    p.drawRoundedRect(r, 1.5, 1.5);
    p.setBrush(kPaper);
    p.drawRect(QRectF(r.left() + 3, r.top() + 1, r.width() - 6, r.height() * 0.42));
    p.setBrush(kGrey);
    p.drawRect(QRectF(r.left() + 4, r.bottom() - r.height() * 0.35, r.width() - 8, r.height() * 0.35 - 1));
}

void Magnifier(QPainter& p, QPointF centre, qreal radius) {
    p.setPen(QPen(kInk, 2.2, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(centre + QPointF(radius * 0.7, radius * 0.7), centre + QPointF(radius * 1.9, radius * 1.9));
    p.setPen(QPen(kInk, 1.4));
    p.setBrush(QColor(200, 225, 245));
    p.drawEllipse(centre, radius, radius);
}

void Arrow(QPainter& p, QPointF from, QPointF to, QColor colour) {
    p.setPen(QPen(colour, 1.8, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawLine(from, to);
    QPointF d = to - from;
    qreal len = std::hypot(d.x(), d.y());
    if (len <= 0) return;
    QPointF u = d / len, n(-u.y(), u.x());
    QPolygonF head;
    head << to << to - u * 4 + n * 3 << to - u * 4 - n * 3;
    p.setBrush(colour);
    p.setPen(QPen(colour, 1));
    p.drawPolygon(head);
}

void Draw(QPainter& p, Glyph g) {
    switch (g) {
        case Glyph::New:
            Page(p, QRectF(4, 1.5, 12, 17));
            break;
        case Glyph::Open: {
            p.setPen(QPen(kInk, 1.2));
            p.setBrush(kYellow.darker(115));
            p.drawRect(QRectF(1.5, 4.5, 15, 12));
            p.drawRect(QRectF(1.5, 3, 6, 2));
            QPolygonF front;
            front << QPointF(4, 8) << QPointF(18.5, 8) << QPointF(16, 16.5) << QPointF(1.5, 16.5);
            p.setBrush(kYellow);
            p.drawPolygon(front);
            break;
        }
        case Glyph::Save:
            Floppy(p, QRectF(2.5, 2.5, 15, 15));
            break;
        case Glyph::SaveAs:
            Floppy(p, QRectF(1.5, 1.5, 13, 13));
            p.setPen(QPen(kInk, 1));
            p.setBrush(kYellow);
            {
                QPolygonF pencil;
                pencil << QPointF(10, 17) << QPointF(17, 10) << QPointF(19, 12) << QPointF(12, 19)
                       << QPointF(9.5, 19.5);
                p.drawPolygon(pencil);
            }
            break;
        case Glyph::Events:
            Page(p, QRectF(3, 1.5, 13, 17));
            TextLines(p, QRectF(3, 3, 13, 15), 4, kBlue);
            p.setPen(QPen(kInk, 1.1));
            p.setBrush(kPaper);
            p.drawEllipse(QPointF(14, 14), 4.5, 4.5);
            p.drawLine(QPointF(14, 14), QPointF(14, 11));
            p.drawLine(QPointF(14, 14), QPointF(16, 15));
            break;
        case Glyph::Print:
            Page(p, QRectF(5, 1.5, 10, 8));
            p.setPen(QPen(kInk, 1.2));
            p.setBrush(kGrey.lighter(120));
            p.drawRoundedRect(QRectF(1.5, 8, 17, 7), 1.5, 1.5);
            p.setBrush(kPaper);
            p.drawRect(QRectF(5, 13, 10, 5.5));
            p.setBrush(kGreen);
            p.setPen(Qt::NoPen);
            p.drawEllipse(QPointF(15.5, 10.5), 1, 1);
            break;
        case Glyph::Cut:
            p.setPen(QPen(kInk, 1.6, Qt::SolidLine, Qt::RoundCap));
            p.drawLine(QPointF(6, 2), QPointF(13, 13));
            p.drawLine(QPointF(14, 2), QPointF(7, 13));
            p.setPen(QPen(kRed, 1.6));
            p.setBrush(Qt::NoBrush);
            p.drawEllipse(QPointF(5.5, 15.5), 3, 3);
            p.drawEllipse(QPointF(14.5, 15.5), 3, 3);
            break;
        case Glyph::Copy:
            Page(p, QRectF(2, 1.5, 10, 13));
            Page(p, QRectF(8, 5.5, 10, 13));
            TextLines(p, QRectF(8, 7, 10, 11), 3);
            break;
        case Glyph::Paste:
            p.setPen(QPen(kInk, 1.2));
            p.setBrush(QColor(176, 122, 64));
            p.drawRoundedRect(QRectF(2.5, 3, 12, 15.5), 1.5, 1.5);
            p.setBrush(kGrey);
            p.drawRect(QRectF(6, 1.5, 5, 3));
            Page(p, QRectF(8.5, 7, 10, 12));
            TextLines(p, QRectF(8.5, 8.5, 10, 10), 3);
            break;
        case Glyph::Delete:
            p.setPen(QPen(kRed, 2.6, Qt::SolidLine, Qt::RoundCap));
            p.drawLine(QPointF(4.5, 4.5), QPointF(15.5, 15.5));
            p.drawLine(QPointF(15.5, 4.5), QPointF(4.5, 15.5));
            break;
        case Glyph::Undo: {
            p.setPen(QPen(kBlue, 2, Qt::SolidLine, Qt::RoundCap));
            p.setBrush(Qt::NoBrush);
            QPainterPath path;
            path.moveTo(5, 8);
            path.cubicTo(QPointF(9, 3), QPointF(17, 4), QPointF(16, 11));
            path.cubicTo(QPointF(15.5, 15), QPointF(12, 16.5), QPointF(9, 16.5));
            p.drawPath(path);
            QPolygonF head;
            head << QPointF(2, 4) << QPointF(8.5, 4.5) << QPointF(4, 10.5);
            p.setBrush(kBlue);
            p.setPen(QPen(kBlue, 1));
            p.drawPolygon(head);
            break;
        }
        case Glyph::Find:
            Magnifier(p, QPointF(8, 8), 5);
            break;
        case Glyph::Replace:
            Magnifier(p, QPointF(6.5, 6.5), 4);
            Arrow(p, QPointF(9, 16.5), QPointF(18, 16.5), kGreen);
            break;
        case Glyph::Compress:
            Arrow(p, QPointF(1.5, 10), QPointF(8, 10), kBlue);
            Arrow(p, QPointF(18.5, 10), QPointF(12, 10), kBlue);
            p.setPen(QPen(kInk, 1.4));
            p.drawLine(QPointF(10, 3), QPointF(10, 17));
            break;
        case Glyph::Air:
            Arrow(p, QPointF(8, 10), QPointF(1.5, 10), kBlue);
            Arrow(p, QPointF(12, 10), QPointF(18.5, 10), kBlue);
            p.setPen(QPen(kInk, 1.4));
            p.drawLine(QPointF(10, 3), QPointF(10, 17));
            break;
        case Glyph::Renumber: {
            QFont f;
            f.setPixelSize(9);
            f.setBold(true);
            p.setFont(f);
            p.setPen(kBlue);
            p.drawText(QRectF(0, 0, 20, 10), Qt::AlignCenter, QStringLiteral("N10"));
            p.setPen(kInk);
            p.drawText(QRectF(0, 10, 20, 10), Qt::AlignCenter, QStringLiteral("N20"));
            break;
        }
        case Glyph::Trig: {
            QPolygonF tri;
            tri << QPointF(2.5, 17) << QPointF(17.5, 17) << QPointF(17.5, 3);
            p.setPen(QPen(kInk, 1.4));
            p.setBrush(QColor(200, 225, 245));
            p.drawPolygon(tri);
            p.setBrush(Qt::NoBrush);
            p.drawRect(QRectF(14, 13.5, 3.5, 3.5));
            p.setPen(QPen(kRed, 1.2));
            p.drawArc(QRectF(-2.5, 12, 10, 10), 0, 45 * 16);
            break;
        }
        case Glyph::Exit:
            p.setPen(QPen(kInk, 1.2));
            p.setBrush(QColor(176, 122, 64));
            p.drawRect(QRectF(2.5, 2, 9, 16));
            p.setBrush(kYellow);
            p.setPen(Qt::NoPen);
            p.drawEllipse(QPointF(9.5, 10.5), 0.9, 0.9);
            Arrow(p, QPointF(10, 10), QPointF(18.5, 10), kRed);
            break;
    }
}
}  // namespace

QIcon ToolGlyph(Glyph glyph) {
    QIcon icon;
    for (int size : {20, 40}) {
        QPixmap pm(size, size);
        pm.fill(Qt::transparent);
        QPainter p(&pm);
        p.setRenderHint(QPainter::Antialiasing);
        p.scale(size / 20.0, size / 20.0);
        Draw(p, glyph);
        p.end();
        icon.addPixmap(pm);
    }
    return icon;
}
