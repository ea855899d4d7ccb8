#pragma once

#include <QDialog>

#include <cstdint>

class QRadioButton;
class QSpinBox;

namespace kadrel {

// What "Vélocité..." does to the velocity of each selected note.
struct VelocityChange {
    enum class Kind { Set, Scale, Add };
    Kind How = Kind::Set;
    int Amount = 100; // the value (1..127), the percentage (1..1000) or the amount (-126..126)

    bool operator==(const VelocityChange&) const = default;
};

// The velocity a note gets, kept within 1..127 (a note-on of velocity 0 would end the note). A
// scale rounds to the nearest value.
std::uint8_t ChangedVelocity(std::uint8_t velocity, const VelocityChange& change);

// The dialog of "Vélocité...": set a value, scale by a percentage or add an amount.
class VelocityDialog final : public QDialog {
    Q_OBJECT

public:
    // current: the velocity the value field starts at (that of the first selected note).
    VelocityDialog(QWidget* parent, int current);

    VelocityChange Change() const;

    QRadioButton* SetTo = nullptr;
    QRadioButton* ScaleBy = nullptr;
    QRadioButton* AddTo = nullptr;
    QSpinBox* Value = nullptr;
    QSpinBox* Percent = nullptr;
    QSpinBox* Amount = nullptr;
};

} // namespace kadrel
