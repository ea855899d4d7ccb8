#pragma once

#include "partition/Partition.h"

#include <QColor>
#include <QImage>
#include <QRegion>
#include <QScreen>
#include <QtTest/QTest>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace kadrel::testing {

// Colours as "#rrggbb", so that a failing comparison names them.
inline const std::string White = "#ffffff";
inline const std::string Black = "#000000";
inline const std::string Grey = "#b0b0b0";
inline const std::string Yellow = "#ffff00";
inline const std::string Red = "#ff0000";

inline std::string ColorAt(const QImage& image, int x, int y) {
    return QColor(image.pixel(x, y)).name().toStdString();
}

// Records the regions that the platform asked the control to repaint.
class RecordingPartition : public TPartition {
public:
    using TPartition::TPartition;
    std::vector<QRegion> Painted;

protected:
    void paintEvent(QPaintEvent* event) override {
        Painted.push_back(event->region());
        TPartition::paintEvent(event);
    }
};

// The values of the main window's layout, applied through the setters in the order of its
// table, on a control 849 pixels wide.
inline void ApplyMainWindowLayout(TPartition& partition) {
    partition.resize(849, 112);
    partition.SetInterWidth(8);
    partition.SetSmallestWidth(2);
    partition.SetLargePosLen(16);
    partition.SetCursorPos(0);
    partition.SetMesureLen(64);
    partition.SetVertGridLen(16);
    partition.SetFirstMesure(0);
}

// A control laid out like the main window's, inside a window 8 pixels from its corner, shown and
// exposed so that repaints and pointer events go through the platform.
struct ShownPartition {
    QWidget Window;
    RecordingPartition* Partition = new RecordingPartition(&Window);

    explicit ShownPartition(bool laidOut = true) {
        Window.resize(865, 128);
        Partition->move(8, 8);
        if (laidOut)
            ApplyMainWindowLayout(*Partition);
        Window.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&Window));
        Partition->Painted.clear();
    }

    // What the platform shows of the control now, read back from the window's backing store:
    // unlike QWidget::grab() this does not paint the control again.
    QImage OnScreen() const {
        QScreen* screen = Window.windowHandle()->screen();
        const QImage window = screen->grabWindow(Window.winId()).toImage();
        return window.copy(QRect(Partition->pos(), Partition->size()));
    }

    QPoint InWindow(QPoint p) const { return Partition->mapTo(&Window, p); }
};

} // namespace kadrel::testing
