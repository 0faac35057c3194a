// Draws the module's own pictures (the icons, the hand cursor and the built-in background) and
// the shipped chassis. Run by res/make-art; its output in res/images and res/panel is checked in.
#include "res/art/drawpanel.h"

#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>

#include <cstdio>

namespace {

QString g_out;

void save(const QImage& img, const QString& name) {
    QString path = g_out + QLatin1Char('/') + name;
    if (!img.save(path))
        std::fprintf(stderr, "drawart: cannot write %s\n", qPrintable(path));
}

QImage canvas(int w, int h) {
    QImage img(w, h, QImage::Format_ARGB32);
    img.fill(Qt::transparent);
    return img;
}

// A tiny chassis: the application's icon.
QImage appIcon(int size) {
    QImage img = canvas(size, size);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    qreal s = size / 32.0;
    p.scale(s, s);
    QLinearGradient body(0, 4, 0, 28);
    body.setColorAt(0, QColor(92, 104, 118));
    body.setColorAt(1, QColor(44, 52, 62));
    p.setPen(QPen(QColor(20, 24, 30), 1));
    p.setBrush(body);
    p.drawRoundedRect(QRectF(1.5, 5.5, 29, 21), 2, 2);
    for (int row = 0; row < 3; ++row) {
        p.setBrush(QColor(30, 34, 40));
        p.setPen(Qt::NoPen);
        p.drawRect(QRectF(4, 8.5 + row * 6, 24, 4));
        for (int port = 0; port < 6; ++port) {
            bool lit = (row * 6 + port) % 4 != 1;
            p.setBrush(lit ? QColor(97, 248, 108) : QColor(128, 64, 0));
            p.drawRect(QRectF(5 + port * 3.9, 9.5 + row * 6, 2.4, 2));
        }
    }
    return img;
}

// Set: a check mark on a green disc.
QImage setIcon() {
    QImage img = canvas(32, 32);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(24, 96, 40), 1.5));
    p.setBrush(QColor(62, 170, 84));
    p.drawEllipse(QRectF(3, 3, 26, 26));
    p.setPen(QPen(Qt::white, 3.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    QPainterPath tick;
    tick.moveTo(9.5, 16.5);
    tick.lineTo(14, 21);
    tick.lineTo(23, 11);
    p.setBrush(Qt::NoBrush);
    p.drawPath(tick);
    return img;
}

// Refresh: two arrows chasing each other.
QImage refreshIcon() {
    QImage img = canvas(32, 32);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    QColor blue(34, 102, 196);
    p.setPen(QPen(blue, 3.5, Qt::SolidLine, Qt::FlatCap));
    QRectF r(6, 6, 20, 20);
    p.drawArc(r, 30 * 16, 140 * 16);
    p.drawArc(r, 210 * 16, 140 * 16);
    p.setPen(Qt::NoPen);
    p.setBrush(blue);
    QPolygonF head1{{25.5, 4.5}, {26.5, 13}, {18.5, 10}};
    QPolygonF head2{{6.5, 27.5}, {5.5, 19}, {13.5, 22}};
    p.drawPolygon(head1);
    p.drawPolygon(head2);
    return img;
}

// Exit: a door with an arrow leaving it.
QImage exitIcon() {
    QImage img = canvas(32, 32);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(90, 60, 30), 1.5));
    p.setBrush(QColor(176, 122, 66));
    p.drawRect(QRectF(5.5, 3.5, 14, 25));
    p.setBrush(QColor(240, 210, 80));
    p.drawEllipse(QRectF(15, 15, 2.5, 2.5));
    QColor red(200, 40, 36);
    p.setPen(QPen(red, 3, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(14, 16), QPointF(26, 16));
    p.setPen(Qt::NoPen);
    p.setBrush(red);
    p.drawPolygon(QPolygonF{{29.5, 16}, {23, 10.5}, {23, 21.5}});
    return img;
}

// The pointing hand, 32 x 32, hot spot at the fingertip (6, 1).
QImage handCursor() {
    QImage img = canvas(32, 32);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath hand;
    hand.moveTo(6, 1);
    hand.cubicTo(8, 1, 9, 2, 9, 4);
    hand.lineTo(9, 12);
    hand.cubicTo(10, 10.5, 13, 10.5, 13.5, 12.5);
    hand.cubicTo(14.5, 11, 17.5, 11, 18, 13);
    hand.cubicTo(19, 11.5, 22, 11.8, 22, 14.5);
    hand.lineTo(22, 21);
    hand.cubicTo(22, 25, 20, 27, 19, 28.5);
    hand.lineTo(9, 28.5);
    hand.cubicTo(7, 25, 3, 20, 1.5, 17);
    hand.cubicTo(0.8, 15.5, 2.5, 14, 4, 15);
    hand.lineTo(3, 14);
    hand.lineTo(3, 4);
    hand.cubicTo(3, 2, 4, 1, 6, 1);
    p.setPen(QPen(Qt::black, 1.2));
    p.setBrush(Qt::white);
    p.drawPath(hand);
    p.setPen(QPen(Qt::black, 0.8));
    p.drawLine(QPointF(13.5, 12.5), QPointF(13.5, 17));
    p.drawLine(QPointF(18, 13), QPointF(18, 17));
    return img;
}

// The built-in background: a neutral empty chassis.
QImage defaultBackground() {
    QImage img(700, 140, QImage::Format_RGB32);
    QPainter p(&img);
    QLinearGradient g(0, 0, 0, 140);
    g.setColorAt(0, QColor(120, 126, 134));
    g.setColorAt(1, QColor(70, 74, 80));
    p.fillRect(img.rect(), g);
    p.setPen(QColor(40, 42, 46));
    p.drawRect(img.rect().adjusted(0, 0, -1, -1));
    p.setPen(QColor(210, 214, 220));
    p.setFont(QFont(QStringLiteral("DejaVu Sans"), 14, QFont::Bold));
    p.drawText(img.rect(), Qt::AlignCenter, QStringLiteral("TALVEX"));
    return img;
}

} // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    g_out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
    QDir().mkpath(g_out);
    save(appIcon(32), QStringLiteral("icon447.png"));
    save(appIcon(64), QStringLiteral("icon447-64.png"));
    save(setIcon(), QStringLiteral("icon153.png"));
    save(refreshIcon(), QStringLiteral("icon145.png"));
    save(exitIcon(), QStringLiteral("icon147.png"));
    save(handCursor(), QStringLiteral("hand.png"));
    QImage bg = defaultBackground().convertToFormat(QImage::Format_RGB888);
    save(bg, QStringLiteral("default-background.bmp"));
    if (argc > 2)
        DrawPanel(QString::fromLocal8Bit(argv[2]));
    return 0;
}
