#pragma once

#include <QDialog>

class QComboBox;
class QLineEdit;
class QPushButton;
class QSpinBox;

namespace kadrel {

// The track dialog: name, channel and instrument of a track. Created once at start-up and
// reused; its fields keep what they showed last between two uses.
class TTrackInfo : public QDialog {
    Q_OBJECT

public:
    explicit TTrackInfo(QWidget* parent = nullptr);

    // Selects the first instrument text.
    void FormCreate();

    QLineEdit* TrackName = nullptr;
    QSpinBox* TrackChannel = nullptr; // 0..15
    QComboBox* TrackPatch = nullptr;  // the 128 instrument texts, by program number
    QPushButton* OK = nullptr;
    QPushButton* Cancel = nullptr;
};

} // namespace kadrel
