#include "Animate.h"

#include <QPainter>
#include <QPainterPath>

#include <cmath>
#include <numbers>

TAnimate::TAnimate(QWidget* parent) : QWidget(parent) {
    timer_.setInterval(100);
    connect(&timer_, &QTimer::timeout, this, [this] {
        frame_ = (frame_ + 1) % FrameCount;
        update();
    });
}

void TAnimate::SetClip(Clip clip) {
    clip_ = clip;
    frame_ = 0;
    if (clip_ == Clip::None) {
        timer_.stop();
    }
    update();
}

void TAnimate::Play() {
    if (clip_ != Clip::None) {
        timer_.start();
    }
}

void TAnimate::Stop() {
    timer_.stop();
    frame_ = 0;
    update();
}

void TAnimate::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    switch (clip_) {
    case Clip::FindComputer:
        PaintFindComputer(p);
        break;
    case Clip::FindFile:
        PaintFindFile(p);
        break;
    case Clip::None:
        break;
    }
}

namespace {

void PaintMonitor(QPainter& p, QRectF screen) {
    p.setPen(QPen(QColor(40, 40, 40), 1));
    p.setBrush(QColor(200, 200, 190));
    p.drawRoundedRect(screen.adjusted(-3, -3, 3, 3), 2, 2);
    p.setBrush(QColor(20, 90, 160));
    p.drawRect(screen);
    p.setBrush(QColor(200, 200, 190));
    const QPointF foot = screen.bottomLeft() + QPointF(screen.width() / 2, 3);
    p.drawRect(QRectF(foot.x() - 6, foot.y(), 12, 4));
}

void PaintPage(QPainter& p, QRectF page) {
    p.setPen(QPen(QColor(60, 60, 60), 1));
    p.setBrush(Qt::white);
    p.drawRect(page);
    p.setPen(QPen(QColor(120, 120, 120), 1));
    for (double y = page.top() + 3; y < page.bottom() - 2; y += 3) {
        p.drawLine(QPointF(page.left() + 2, y), QPointF(page.right() - 2, y));
    }
}

void PaintFolder(QPainter& p, QRectF r) {
    p.setPen(QPen(QColor(120, 90, 20), 1));
    p.setBrush(QColor(240, 200, 80));
    QPainterPath path;
    path.moveTo(r.left(), r.top() + 3);
    path.lineTo(r.left() + 5, r.top() + 3);
    path.lineTo(r.left() + 7, r.top());
    path.lineTo(r.left() + 12, r.top());
    path.lineTo(r.left() + 12, r.top() + 3);
    path.lineTo(r.right(), r.top() + 3);
    path.lineTo(r.right(), r.bottom());
    path.lineTo(r.left(), r.bottom());
    path.closeSubpath();
    p.drawPath(path);
}

} // namespace

void TAnimate::PaintFindComputer(QPainter& p) const {
    PaintMonitor(p, QRectF(6, 6, 26, 19));
    // A magnifying glass circling the monitor.
    const double angle = 2 * std::numbers::pi * frame_ / FrameCount;
    const QPointF centre(22 + 10 * std::cos(angle), 22 + 8 * std::sin(angle));
    p.setPen(QPen(QColor(90, 60, 20), 3, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(centre + QPointF(5, 5), centre + QPointF(12, 12));
    p.setPen(QPen(QColor(30, 30, 30), 2));
    p.setBrush(QColor(180, 220, 255, 170));
    p.drawEllipse(centre, 7, 7);
}

void TAnimate::PaintFindFile(QPainter& p) const {
    PaintFolder(p, QRectF(1, 22, 16, 13));
    PaintFolder(p, QRectF(31, 22, 16, 13));
    // A page flying from the left folder to the right one along an arc.
    const double t = static_cast<double>(frame_) / (FrameCount - 1);
    const double x = 4 + t * 30;
    const double y = 16 - 12 * std::sin(std::numbers::pi * t);
    PaintPage(p, QRectF(x, y, 10, 13));
}
