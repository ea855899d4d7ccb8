#include "editor/UserDialogs.h"

#include "editor/DesktopLauncher.h"
#include "editor/FileNames.h"
#include "editor/TrackInfo.h"

#include <QAbstractButton>
#include <QFileDialog>

namespace kadrel {

QMessageBox::StandardButton QtUserDialogs::Message(QWidget* parent, QMessageBox::Icon icon,
                                                   const QString& caption, const QString& text,
                                                   QMessageBox::StandardButtons buttons) {
    return MessageWithDefault(parent, icon, caption, text, buttons, QMessageBox::NoButton,
                              QMessageBox::NoButton);
}

QMessageBox::StandardButton
QtUserDialogs::MessageWithDefault(QWidget* parent, QMessageBox::Icon icon, const QString& caption,
                                  const QString& text, QMessageBox::StandardButtons buttons,
                                  QMessageBox::StandardButton defaultButton,
                                  QMessageBox::StandardButton escapeButton) {
    QMessageBox box(icon, caption, text, buttons, parent);
    const std::pair<QMessageBox::StandardButton, const char*> captions[] = {
        {QMessageBox::Yes, "&Oui"},
        {QMessageBox::No, "&Non"},
        {QMessageBox::Ok, "OK"},
        {QMessageBox::Cancel, "Annuler"}};
    for (const auto& [button, caption] : captions)
        if (QAbstractButton* b = box.button(button))
            b->setText(QString::fromUtf8(caption));
    if (defaultButton != QMessageBox::NoButton)
        box.setDefaultButton(defaultButton);
    if (escapeButton != QMessageBox::NoButton)
        box.setEscapeButton(escapeButton);
    const int result = box.exec();
    return result == 0 ? QMessageBox::Cancel : static_cast<QMessageBox::StandardButton>(result);
}

bool QtUserDialogs::ShowTrackInfo(TTrackInfo& dialog) {
    return dialog.exec() == QDialog::Accepted;
}

namespace {

// Qt's own dialog rather than the desktop's, so that it behaves the same everywhere.
QString RunFileDialog(QWidget* parent, const QString& folder, QFileDialog::AcceptMode mode,
                      const char* filter = MidiFileFilter, const char* suffix = nullptr) {
    QFileDialog dialog(parent, QString(), folder, QString::fromUtf8(filter));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(mode);
    if (mode == QFileDialog::AcceptOpen) {
        dialog.setFileMode(QFileDialog::ExistingFile);
    } else {
        // Kadrel asks itself before replacing a file, and saves under exactly the name typed.
        dialog.setFileMode(QFileDialog::AnyFile);
        dialog.setOption(QFileDialog::DontConfirmOverwrite);
        if (suffix != nullptr)
            dialog.setDefaultSuffix(QString::fromUtf8(suffix));
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    return dialog.selectedFiles().constFirst();
}

} // namespace

std::optional<VelocityChange> QtUserDialogs::AskVelocity(QWidget* parent, int current) {
    VelocityDialog dialog(parent, current);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.Change();
}

QString QtUserDialogs::OpenFileName(QWidget* parent, const QString& folder) {
    return RunFileDialog(parent, folder, QFileDialog::AcceptOpen);
}

QString QtUserDialogs::SaveFileName(QWidget* parent, const QString& folder) {
    return RunFileDialog(parent, folder, QFileDialog::AcceptSave);
}

QString QtUserDialogs::SaveWavFileName(QWidget* parent, const QString& folder) {
    // A sound file without its extension would not open in players: "wav" is added when the
    // name has none.
    return RunFileDialog(parent, folder, QFileDialog::AcceptSave, WavFileFilter, "wav");
}

void QtUserDialogs::OpenDocument(const QString& path, std::function<void()> failed) {
    LaunchDocument(FileNameBytes(path), [failed = std::move(failed)](bool opened) {
        if (!opened)
            failed();
    });
}

} // namespace kadrel
