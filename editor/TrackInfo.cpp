#include "editor/TrackInfo.h"

#include "song/Instruments.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>

namespace kadrel {

TTrackInfo::TTrackInfo(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint) {
    setWindowTitle(QStringLiteral("Informations du track"));
    setFixedSize(314, 185);
    setModal(true);

    auto* nameLabel = new QLabel(QStringLiteral("Nom (pour faciliter l'édition):"), this);
    nameLabel->move(8, 8);
    TrackName = new QLineEdit(this);
    TrackName->setGeometry(8, 24, 297, 21);
    nameLabel->setBuddy(TrackName);

    auto* channelLabel = new QLabel(QStringLiteral("Canal (9 = percussions):"), this);
    channelLabel->move(8, 56);
    TrackChannel = new QSpinBox(this);
    TrackChannel->setGeometry(8, 72, 297, 22);
    TrackChannel->setRange(0, 15);
    channelLabel->setBuddy(TrackChannel);

    auto* patchLabel = new QLabel(QStringLiteral("Instrument:"), this);
    patchLabel->move(8, 104);
    TrackPatch = new QComboBox(this);
    TrackPatch->setGeometry(8, 120, 297, 21);
    TrackPatch->setEditable(false);
    TrackPatch->setMaxVisibleItems(24);
    for (int k = 0; k < InstrumentCount; ++k)
        TrackPatch->addItem(QString::fromStdString(InstrumentText(k)));
    patchLabel->setBuddy(TrackPatch);

    OK = new QPushButton(QStringLiteral("OK"), this);
    OK->setGeometry(141, 152, 75, 25);
    OK->setDefault(true);
    Cancel = new QPushButton(QStringLiteral("Annuler"), this);
    Cancel->setGeometry(229, 152, 75, 25);
    connect(OK, &QPushButton::clicked, this, &QDialog::accept);
    connect(Cancel, &QPushButton::clicked, this, &QDialog::reject);

    setTabOrder(TrackName, TrackChannel);
    setTabOrder(TrackChannel, TrackPatch);
    setTabOrder(TrackPatch, OK);
    setTabOrder(OK, Cancel);

    FormCreate();
}

void TTrackInfo::FormCreate() {
    TrackPatch->setCurrentIndex(0);
}

} // namespace kadrel
