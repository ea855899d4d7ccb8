#include "editor/VelocityDialog.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include <algorithm>

namespace kadrel {

std::uint8_t ChangedVelocity(std::uint8_t velocity, const VelocityChange& change) {
    long value = velocity;
    switch (change.How) {
    case VelocityChange::Kind::Set:
        value = change.Amount;
        break;
    case VelocityChange::Kind::Scale:
        value = (long{velocity} * change.Amount + 50) / 100;
        break;
    case VelocityChange::Kind::Add:
        value = long{velocity} + change.Amount;
        break;
    }
    return static_cast<std::uint8_t>(std::clamp(value, 1L, 127L));
}

VelocityDialog::VelocityDialog(QWidget* parent, int current) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Vélocité"));
    SetTo = new QRadioButton(QStringLiteral("&Fixer à"), this);
    ScaleBy = new QRadioButton(QStringLiteral("&Multiplier par (%)"), this);
    AddTo = new QRadioButton(QStringLiteral("&Ajouter"), this);
    Value = new QSpinBox(this);
    Value->setRange(1, 127);
    Value->setValue(std::clamp(current, 1, 127));
    Percent = new QSpinBox(this);
    Percent->setRange(1, 1000);
    Percent->setValue(100);
    Amount = new QSpinBox(this);
    Amount->setRange(-126, 126);
    Amount->setValue(0);
    SetTo->setChecked(true);

    auto* fields = new QGridLayout();
    fields->addWidget(SetTo, 0, 0);
    fields->addWidget(Value, 0, 1);
    fields->addWidget(ScaleBy, 1, 0);
    fields->addWidget(Percent, 1, 1);
    fields->addWidget(AddTo, 2, 0);
    fields->addWidget(Amount, 2, 1);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("OK"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Annuler"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(fields);
    layout->addWidget(buttons);
    // Typing in a field chooses what it does.
    connect(Value, &QSpinBox::valueChanged, SetTo, [this] { SetTo->setChecked(true); });
    connect(Percent, &QSpinBox::valueChanged, ScaleBy, [this] { ScaleBy->setChecked(true); });
    connect(Amount, &QSpinBox::valueChanged, AddTo, [this] { AddTo->setChecked(true); });
}

VelocityChange VelocityDialog::Change() const {
    if (ScaleBy->isChecked())
        return {VelocityChange::Kind::Scale, Percent->value()};
    if (AddTo->isChecked())
        return {VelocityChange::Kind::Add, Amount->value()};
    return {VelocityChange::Kind::Set, Value->value()};
}

} // namespace kadrel
