#pragma once

// A small looping animation in place of the shell's stock clips: a computer
// being searched for, a document being copied, or nothing. The frames are
// painted in code, so there is no clip file that could be missing.

#include <QTimer>
#include <QWidget>

class TAnimate : public QWidget {
    Q_OBJECT
public:
    enum class Clip { None, FindComputer, FindFile };
    static constexpr int FrameCount = 12;

    explicit TAnimate(QWidget* parent = nullptr);

    // Selecting a clip shows its first frame.
    void SetClip(Clip clip);
    Clip CurrentClip() const { return clip_; }
    void Play();
    // Stopping returns to the first frame.
    void Stop();
    bool Playing() const { return timer_.isActive(); }
    int Frame() const { return frame_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void PaintFindComputer(class QPainter& p) const;
    void PaintFindFile(class QPainter& p) const;

    Clip clip_ = Clip::None;
    int frame_ = 0;
    QTimer timer_;
};
