#pragma once

#include <QMessageBox>
#include <QString>

#include "editor/VelocityDialog.h"

#include <functional>
#include <optional>
#include <utility>

namespace kadrel {

class TTrackInfo;

// Everything through which the editor asks the user something or hands a file to the desktop.
// The real one shows modal boxes; tests answer instead of a person.
class UserDialogs {
public:
    virtual ~UserDialogs() = default;

    // A message box with a French caption ("Erreur", "Confirmation", ...) and French buttons
    // ("&Oui", "&Non", "OK", "Annuler"); returns the button chosen, or Cancel when the box is
    // closed without one.
    virtual QMessageBox::StandardButton Message(QWidget* parent, QMessageBox::Icon icon,
                                                const QString& caption, const QString& text,
                                                QMessageBox::StandardButtons buttons) = 0;

    // The same box with a chosen default button (what Enter answers) and a chosen escape button
    // (what Escape and closing the box answer). Those who answer without a person may leave it
    // to Message.
    virtual QMessageBox::StandardButton
    MessageWithDefault(QWidget* parent, QMessageBox::Icon icon, const QString& caption,
                       const QString& text, QMessageBox::StandardButtons buttons,
                       QMessageBox::StandardButton defaultButton,
                       QMessageBox::StandardButton escapeButton) {
        (void)defaultButton;
        (void)escapeButton;
        return Message(parent, icon, caption, text, buttons);
    }

    // Shows the track dialog modally; true when it was closed with OK.
    virtual bool ShowTrackInfo(TTrackInfo& dialog) = 0;

    // The dialog of "Vélocité...", its value field starting at current; nothing when cancelled.
    virtual std::optional<VelocityChange> AskVelocity(QWidget* parent, int current) = 0;

    // The open and save dialogs, starting in folder; "" when cancelled.
    virtual QString OpenFileName(QWidget* parent, const QString& folder) = 0;
    virtual QString SaveFileName(QWidget* parent, const QString& folder) = 0;
    // The save dialog of the WAV export, with its own filter; "" when cancelled.
    virtual QString SaveWavFileName(QWidget* parent, const QString& folder) = 0;

    // Hands a file to the desktop's "open" (the application that shows text files) without
    // waiting for it. failed is called, at once or later from the event loop, when no program
    // could open it. path carries the name's bytes (editor/FileNames.h).
    virtual void OpenDocument(const QString& path, std::function<void()> failed) = 0;
};

// The dialogs a person sees.
class QtUserDialogs final : public UserDialogs {
public:
    QMessageBox::StandardButton Message(QWidget* parent, QMessageBox::Icon icon,
                                        const QString& caption, const QString& text,
                                        QMessageBox::StandardButtons buttons) override;
    QMessageBox::StandardButton
    MessageWithDefault(QWidget* parent, QMessageBox::Icon icon, const QString& caption,
                       const QString& text, QMessageBox::StandardButtons buttons,
                       QMessageBox::StandardButton defaultButton,
                       QMessageBox::StandardButton escapeButton) override;
    bool ShowTrackInfo(TTrackInfo& dialog) override;
    std::optional<VelocityChange> AskVelocity(QWidget* parent, int current) override;
    QString OpenFileName(QWidget* parent, const QString& folder) override;
    QString SaveFileName(QWidget* parent, const QString& folder) override;
    QString SaveWavFileName(QWidget* parent, const QString& folder) override;
    void OpenDocument(const QString& path, std::function<void()> failed) override;
};

// Hands every call on to other dialogs, after telling its owner that a modal box or dialog is
// about to open.
class GestureEndingDialogs final : public UserDialogs {
public:
    GestureEndingDialogs(UserDialogs& dialogs, std::function<void()> opening)
        : dialogs_(dialogs), opening_(std::move(opening)) {}

    QMessageBox::StandardButton Message(QWidget* parent, QMessageBox::Icon icon,
                                        const QString& caption, const QString& text,
                                        QMessageBox::StandardButtons buttons) override {
        opening_();
        return dialogs_.Message(parent, icon, caption, text, buttons);
    }
    QMessageBox::StandardButton
    MessageWithDefault(QWidget* parent, QMessageBox::Icon icon, const QString& caption,
                       const QString& text, QMessageBox::StandardButtons buttons,
                       QMessageBox::StandardButton defaultButton,
                       QMessageBox::StandardButton escapeButton) override {
        opening_();
        return dialogs_.MessageWithDefault(parent, icon, caption, text, buttons, defaultButton,
                                           escapeButton);
    }
    bool ShowTrackInfo(TTrackInfo& dialog) override {
        opening_();
        return dialogs_.ShowTrackInfo(dialog);
    }
    std::optional<VelocityChange> AskVelocity(QWidget* parent, int current) override {
        opening_();
        return dialogs_.AskVelocity(parent, current);
    }
    QString OpenFileName(QWidget* parent, const QString& folder) override {
        opening_();
        return dialogs_.OpenFileName(parent, folder);
    }
    QString SaveFileName(QWidget* parent, const QString& folder) override {
        opening_();
        return dialogs_.SaveFileName(parent, folder);
    }
    QString SaveWavFileName(QWidget* parent, const QString& folder) override {
        opening_();
        return dialogs_.SaveWavFileName(parent, folder);
    }
    // Opens no box of the editor's.
    void OpenDocument(const QString& path, std::function<void()> failed) override {
        dialogs_.OpenDocument(path, std::move(failed));
    }

private:
    UserDialogs& dialogs_;
    std::function<void()> opening_;
};

// The filter of the open and save dialogs.
inline const char* const MidiFileFilter = "Fichiers MIDI (*.mid);;Tous les fichiers (*)";
// The filter of the WAV export's save dialog.
inline const char* const WavFileFilter = "Fichiers WAV (*.wav)";

} // namespace kadrel
