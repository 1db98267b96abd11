// SPDX-License-Identifier: GPL-3.0-or-later
#include "Glyphs.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace vexal::monitor {

namespace {

constexpr int kSize = 32;  // drawn large, shown at the button's icon size

const char *themeName(Glyph which)
{
    switch (which) {
    case Glyph::Connect: return "network-wired";
    case Glyph::Disconnect: return "network-offline";
    case Glyph::Pause: return "media-playback-pause";
    case Glyph::Release: return "media-playback-start";
    case Glyph::SingleSummary: return "view-refresh";
    case Glyph::StartContinuous: return "media-seek-forward";
    case Glyph::StopContinuous: return "media-playback-stop";
    case Glyph::GetList: return "view-list-details";
    case Glyph::GenerateCode: return "text-x-script";
    case Glyph::Save: return "document-save";
    case Glyph::Exit: return "application-exit";
    case Glyph::Program: break;
    }
    return "";
}

void drawBars(QPainter &p, const QColor &colour, std::initializer_list<int> heights)
{
    int x = 5;
    for (int h : heights) {
        p.fillRect(QRect(x, 27 - h, 6, h), colour);
        x += 8;
    }
}

void draw(QPainter &p, Glyph which)
{
    const QColor green(0, 140, 0), red(200, 0, 0), blue(0, 70, 180), grey(70, 70, 70);
    p.setPen(Qt::NoPen);
    switch (which) {
    case Glyph::Connect:
        p.setPen(QPen(green, 4, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(6, 16, 26, 16);
        p.setBrush(green);
        p.drawEllipse(QPoint(7, 16), 4, 4);
        p.drawEllipse(QPoint(25, 16), 4, 4);
        break;
    case Glyph::Disconnect:
        p.setPen(QPen(red, 4, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(8, 8, 24, 24);
        p.drawLine(24, 8, 8, 24);
        break;
    case Glyph::Pause:
        p.fillRect(QRect(8, 6, 6, 20), blue);
        p.fillRect(QRect(18, 6, 6, 20), blue);
        break;
    case Glyph::Release: {
        QPainterPath play;
        play.moveTo(9, 6);
        play.lineTo(26, 16);
        play.lineTo(9, 26);
        play.closeSubpath();
        p.fillPath(play, green);
        break;
    }
    case Glyph::SingleSummary:
        drawBars(p, blue, {10, 18, 14});
        break;
    case Glyph::StartContinuous:
        drawBars(p, green, {8, 14, 20});
        break;
    case Glyph::StopContinuous:
        p.fillRect(QRect(8, 8, 16, 16), red);
        break;
    case Glyph::GetList:
        for (int y = 7; y <= 25; y += 6)
            p.fillRect(QRect(5, y, 22, 3), grey);
        break;
    case Glyph::GenerateCode: {
        QFont font = p.font();
        font.setPixelSize(20);
        font.setBold(true);
        p.setFont(font);
        p.setPen(blue);
        p.drawText(QRect(0, 0, kSize, kSize), Qt::AlignCenter, QStringLiteral("{}"));
        break;
    }
    case Glyph::Save:
        p.fillRect(QRect(5, 5, 22, 22), blue);
        p.fillRect(QRect(9, 5, 14, 8), Qt::white);
        p.fillRect(QRect(9, 18, 14, 9), QColor(220, 220, 220));
        break;
    case Glyph::Exit:
        p.setPen(QPen(grey, 3));
        p.drawRect(6, 5, 14, 22);
        p.setPen(QPen(red, 3, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(14, 16, 28, 16);
        p.drawLine(23, 11, 28, 16);
        p.drawLine(23, 21, 28, 16);
        break;
    case Glyph::Program:
        p.setBrush(QColor(146, 242, 140));
        p.setPen(QPen(grey, 2));
        p.drawRoundedRect(QRect(2, 2, 28, 28), 5, 5);
        drawBars(p, red, {8, 15, 22});
        break;
    }
}

} // namespace

QIcon glyph(Glyph which)
{
    QPixmap pixmap(kSize, kSize);
    pixmap.fill(Qt::transparent);
    {
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        draw(painter, which);
    }
    const QIcon drawn(pixmap);
    const char *name = themeName(which);
    return *name != '\0' ? QIcon::fromTheme(QString::fromLatin1(name), drawn) : drawn;
}

} // namespace vexal::monitor
