#pragma once

#include "WindowAccess.h"
#include "editor/MainWindow.h"
#include "editor/PlaybackClock.h"
#include "editor/TrackInfo.h"
#include "editor/UserDialogs.h"
#include "midi/RecordingMidiOut.h"
#include "midi/SmfReader.h"
#include "partition/Partition.h"
#include "song/NoteText.h"
#include "song/TolerantImport.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QSpinBox>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

// Failures show texts as they read.
inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

namespace kadrel::test {

// Answers the editor's questions as a test tells it to, and remembers what it was asked.
class ScriptedDialogs final : public UserDialogs {
public:
    struct Shown {
        QMessageBox::Icon Icon;
        QString Caption;
        QString Text;
        QMessageBox::StandardButtons Buttons;
        QMessageBox::StandardButton Default = QMessageBox::NoButton;
        QMessageBox::StandardButton Escape = QMessageBox::NoButton;
    };

    QMessageBox::StandardButton Message(QWidget*, QMessageBox::Icon icon, const QString& caption,
                                        const QString& text,
                                        QMessageBox::StandardButtons buttons) override {
        Messages.push_back({icon, caption, text, buttons});
        if (!Answers.empty()) {
            const auto answer = Answers.front();
            Answers.pop_front();
            return answer;
        }
        // Unscripted boxes are acknowledged with their only or first button.
        for (auto b : {QMessageBox::Ok, QMessageBox::Cancel, QMessageBox::Yes})
            if (buttons.testFlag(b))
                return b;
        return QMessageBox::Cancel;
    }

    QMessageBox::StandardButton
    MessageWithDefault(QWidget* parent, QMessageBox::Icon icon, const QString& caption,
                       const QString& text, QMessageBox::StandardButtons buttons,
                       QMessageBox::StandardButton defaultButton,
                       QMessageBox::StandardButton escapeButton) override {
        // Unscripted, a question with an escape button is answered as Escape answers it.
        if (Answers.empty())
            Answers.push_back(escapeButton);
        const auto answer = Message(parent, icon, caption, text, buttons);
        Messages.back().Default = defaultButton;
        Messages.back().Escape = escapeButton;
        return answer;
    }

    bool ShowTrackInfo(TTrackInfo& dialog) override {
        ++TrackInfoShown;
        ShownChannel = dialog.TrackChannel->value();
        ShownName = dialog.TrackName->text();
        ShownPatch = dialog.TrackPatch->currentIndex();
        if (TrackInfoAnswers.empty())
            return false;
        auto answer = std::move(TrackInfoAnswers.front());
        TrackInfoAnswers.pop_front();
        return answer(dialog);
    }

    std::optional<VelocityChange> AskVelocity(QWidget*, int current) override {
        VelocityAsked.push_back(current);
        if (VelocityAnswers.empty())
            return std::nullopt;
        const auto answer = VelocityAnswers.front();
        VelocityAnswers.pop_front();
        return answer;
    }

    QString OpenFileName(QWidget*, const QString& folder) override {
        Folders.push_back(folder);
        return Next(OpenNames);
    }

    QString SaveFileName(QWidget*, const QString& folder) override {
        Folders.push_back(folder);
        return Next(SaveNames);
    }

    QString SaveWavFileName(QWidget*, const QString& folder) override {
        Folders.push_back(folder);
        return Next(WavNames);
    }

    void OpenDocument(const QString& path, std::function<void()> failed) override {
        Opened.push_back(path);
        if (OpenFails)
            failed();
    }

    // The texts of the boxes shown, in order.
    std::vector<QString> Texts() const {
        std::vector<QString> texts;
        for (const auto& m : Messages)
            texts.push_back(m.Text);
        return texts;
    }

    std::vector<Shown> Messages;
    std::deque<QMessageBox::StandardButton> Answers;
    std::deque<std::function<bool(TTrackInfo&)>> TrackInfoAnswers;
    std::deque<std::optional<VelocityChange>> VelocityAnswers; // nothing: Annuler
    std::vector<int> VelocityAsked;                            // the value each dialog started at
    std::deque<QString> OpenNames;                             // "" cancels
    std::deque<QString> SaveNames;
    std::deque<QString> WavNames;
    std::vector<QString> Folders;
    std::vector<QString> Opened;
    bool OpenFails = false; // no program on this desktop can open a document
    int TrackInfoShown = 0;
    int ShownChannel = -1;
    QString ShownName;
    int ShownPatch = -1;

private:
    static QString Next(std::deque<QString>& names) {
        if (names.empty())
            return QString();
        QString name = names.front();
        names.pop_front();
        return name;
    }
};

// Fills the track dialog and closes it with OK.
inline std::function<bool(TTrackInfo&)> FillTrack(int channel, int program = 0,
                                                  const QString& name = QString()) {
    return [=](TTrackInfo& dialog) {
        dialog.TrackChannel->setValue(channel);
        dialog.TrackPatch->setCurrentIndex(program);
        if (!name.isNull())
            dialog.TrackName->setText(name);
        return true;
    };
}

// Virtual time for the play and seek loops: waiting jumps to the deadline, running the actions
// a test scheduled on the way, each at its own time, and the events they post.
class VirtualClock final : public PlaybackClock {
public:
    std::uint32_t NowMs() const override { return now_; }

    void RunPendingUntil(std::uint32_t deadline) override {
        ++Waits;
        QCoreApplication::processEvents();
        while (!actions_.empty() && Before(actions_.begin()->first, deadline) &&
               Before(now_, deadline)) {
            auto action = std::move(actions_.begin()->second);
            now_ = std::max(now_, actions_.begin()->first);
            actions_.erase(actions_.begin());
            action();
            QCoreApplication::processEvents();
        }
        if (Before(now_, deadline))
            now_ = deadline;
        QCoreApplication::processEvents();
    }

    // Runs action when virtual time reaches at (during a wait of a loop).
    void At(std::uint32_t at, std::function<void()> action) {
        actions_.emplace(at, std::move(action));
    }
    void Advance(std::uint32_t ms) { now_ += ms; }
    void Set(std::uint32_t ms) { now_ = ms; }

    int Waits = 0;

private:
    std::uint32_t now_ = 1000;
    std::multimap<std::uint32_t, std::function<void()>> actions_;
};

// The natural notes from the top row down; a sharp shares the row of the note below it.
inline constexpr int Naturals[27] = {81, 79, 77, 76, 74, 72, 71, 69, 67, 65, 64, 62, 60, 59,
                                     57, 55, 53, 52, 50, 48, 47, 45, 43, 41, 40, 38, 36};

// A y inside the band of the row of note n on the window's score (rows are 4 pixels apart with
// its spacing of 8).
inline int YOf(int n) {
    for (int k = 0; k < 27; ++k)
        if (Naturals[k] == n)
            return 4 * k + 2;
    return YOf(n - 1);
}

// The x of position p on the window's score with the view at measure 0.
inline int XOf(int p) {
    return 2 * p;
}

// A main window with a recording output, scripted dialogs and virtual time.
class EditorTest : public ::testing::Test {
protected:
    void SetUp() override { Create(); }

    void Create() {
        out.SetClock(&clock);
        window = std::make_unique<TMain>(dialogs, out, clock);
        trackInfo = new TTrackInfo(window.get()); // owned by the window
        window->SetTrackInfo(trackInfo);
        window->ResizeToDesignSize();
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        QCoreApplication::processEvents();
    }

    void TearDown() override { window.reset(); }

    TPartition& score() { return *ui().Partition; }

    // The window's components and parts.
    const TMainComponents& ui() const { return WindowAccess::Ui(*window); }
    SongDocument& Document() const { return WindowAccess::Document(*window); }
    const Song& SongView() const { return Document().Content(); }
    bool IsModified() const { return Document().IsModified(); }
    const std::string& FileName() const { return Document().FileName(); }
    TrackListView& Tracks() const { return WindowAccess::Tracks(*window); }
    int RowCount() const { return Tracks().RowCount(); }
    TrackRowTexts Row(int index) const { return Tracks().Row(index); }
    int SelectedRow() const { return Tracks().SelectedRow(); }
    Transport& transport() const { return WindowAccess::TransportOf(*window); }
    bool PlayLoopRunning() const { return transport().PlayLoopRunning(); }
    bool SeekLoopRunning() const { return transport().SeekLoopRunning(); }
    bool SeekReleased() const { return transport().SeekReleased(); }
    TMidiOutput* MidiOut() const { return transport().MidiOut(); }
    NoteEditingTool& tool() const { return WindowAccess::Tool(*window); }
    bool Stretching() const { return tool().State() == NoteEditingTool::Gesture::AddingStretching; }
    // The x where the rubber band that a release selects from started; -1 when there is none.
    int AnchorX() const { return tool().BandAnchor() ? tool().BandAnchor()->x() : -1; }
    const TPartitionNote* DraggedNote() const { return tool().Grabbed(); }
    void OpenFile(const QString& path) { WindowAccess::Files(*window).OpenFile(path); }

    const NoteList& Notes() const { return SongView().Notes; }
    // The song's notes as "60@16+12 c0 t1", in the song's order.
    std::vector<std::string> NoteTexts() const { return test::NoteTexts(Notes()); }

    // Appends notes to the song as one step, as a paste does; the score shows those of the
    // selected track at its end.
    void AddNotes(const std::vector<TMidiNote>& notes) {
        Document().AppendNotes(notes, NoteEdit::Paste);
    }

    // Takes every note out of the song as one step.
    void RemoveAllNotes() {
        NoteIndices all(Notes().size());
        for (std::size_t i = 0; i < all.size(); ++i)
            all[i] = static_cast<std::uint32_t>(i);
        Document().RemoveNotes(std::move(all), NoteEdit::Remove);
    }

    // Changes a track as one step, also in ways that the track dialog does not allow (a
    // channel of 16 or more, a channel that another track has), as files can bring them.
    void SetTrack(int index, const SongTrack& track) {
        Document().ChangeTrack(static_cast<std::size_t>(index), track);
    }

    // A file imported as it is, its first row shown.
    void OpenImported(const std::vector<std::uint8_t>& file) {
        Document().Replace(ImportSmf(ReadSmf(file)).Content, true);
        SelectRow(0);
        window->TrackListClick();
    }

    // The song as it is counts as saved.
    void MarkSaved() { Document().MarkSaved(); }

    // Adds a track through the dialog.
    void AddTrack(int channel, int program = 0, const QString& name = QString()) {
        dialogs.TrackInfoAnswers.push_back(FillTrack(channel, program, name));
        window->AddTrackClick();
    }

    // Selects one row as a click would: the list holds one selected row at most.
    void SelectRow(int row) {
        ui().TrackList->clearSelection();
        ui().TrackList->setCurrentItem(ui().TrackList->topLevelItem(row));
        ui().TrackList->topLevelItem(row)->setSelected(true);
    }

    // Pointer events on the score, as the platform sends them.
    QWidget* area() { return ui().Partition; }
    void Press(int x, int y, Qt::MouseButton button = Qt::LeftButton,
               Qt::KeyboardModifiers keys = {}) {
        QTest::mousePress(area(), button, keys, QPoint(x, y));
    }
    void Move(int x, int y, Qt::MouseButtons held = Qt::LeftButton,
              Qt::KeyboardModifiers keys = {}) {
        // QTest::mouseMove carries no buttons; send the event the platform sends while dragging.
        QMouseEvent move(QEvent::MouseMove, QPointF(x, y), area()->mapToGlobal(QPointF(x, y)),
                         Qt::NoButton, held, keys);
        QApplication::sendEvent(area(), &move);
    }
    void Release(int x, int y, Qt::MouseButton button = Qt::LeftButton,
                 Qt::KeyboardModifiers keys = {}) {
        QTest::mouseRelease(area(), button, keys, QPoint(x, y));
    }
    void Click(int x, int y, Qt::MouseButton button = Qt::LeftButton) {
        Press(x, y, button);
        Release(x, y, button);
    }

    // The short messages sent, without their times.
    std::vector<std::uint32_t> Sent() const { return out.MessageValues(); }

    std::vector<std::string> RowTexts() const {
        std::vector<std::string> rows;
        for (int i = 0; i < RowCount(); ++i) {
            const auto r = Row(i);
            rows.push_back(r.Caption + "|" + r.Name + "|" + r.Channel + "|" + r.Instrument);
        }
        return rows;
    }

    VirtualClock clock;
    RecordingMidiOut out;
    ScriptedDialogs dialogs;
    std::unique_ptr<TMain> window;
    TTrackInfo* trackInfo = nullptr;
};

// Short message values, as the port packs them.
inline std::uint32_t NoteOnMsg(int channel, int note) {
    return 0x007F0090u | (note << 8) | channel;
}
inline std::uint32_t NoteOffMsg(int channel, int note) {
    return 0x00000080u | (note << 8) | channel;
}
inline std::uint32_t PatchMsg(int channel, int program) {
    return 0x000000C0u | (program << 8) | channel;
}

} // namespace kadrel::test
