#pragma once

#include "editor/UserDialogs.h"

namespace kadrel::bench {

// Answers the editor without a person: every box with Answer, the open dialog with FileToOpen,
// the track dialog as told, and no name to save under.
class BenchDialogs final : public UserDialogs {
public:
    QMessageBox::StandardButton Message(QWidget*, QMessageBox::Icon, const QString&, const QString&,
                                        QMessageBox::StandardButtons) override {
        return Answer;
    }
    std::optional<VelocityChange> AskVelocity(QWidget*, int) override { return std::nullopt; }
    bool ShowTrackInfo(TTrackInfo&) override { return AcceptTrackInfo; }
    QString OpenFileName(QWidget*, const QString&) override { return FileToOpen; }
    QString SaveFileName(QWidget*, const QString&) override { return QString(); }
    QString SaveWavFileName(QWidget*, const QString&) override { return QString(); }
    void OpenDocument(const QString&, std::function<void()>) override {}

    QMessageBox::StandardButton Answer = QMessageBox::No;
    QString FileToOpen;
    bool AcceptTrackInfo = false;
};

} // namespace kadrel::bench
