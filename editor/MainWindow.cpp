#include "editor/MainWindow.h"

#include "editor/ButtonPictures.h"
#include "editor/TrackInfo.h"
#include "editor/UserDialogs.h"
#include "midi/MidiOutput.h"
#include "midi/Vlv.h"
#include "util/Error.h"

#include <QAction>
#include <QApplication>
#include <QButtonGroup>
#include <QCloseEvent>
#include <QFrame>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>

#include <unordered_set>
#include <utility>

namespace kadrel {

namespace {

// The keyboard handler's view of a key: Delete, and + and - of the numeric keypad only.
int VirtualKey(const QKeyEvent& event) {
    const bool keypad = event.modifiers().testFlag(Qt::KeypadModifier);
    switch (event.key()) {
    case Qt::Key_Delete:
        return TMain::KeyDelete;
    case Qt::Key_Plus:
        return keypad ? TMain::KeyKeypadPlus : 0;
    case Qt::Key_Minus:
        return keypad ? TMain::KeyKeypadMinus : 0;
    default:
        return 0;
    }
}

QToolButton* FlatButton(QWidget* parent, int left, const char* hint, Picture picture) {
    auto* button = new QToolButton(parent);
    button->setGeometry(left, 2, 23, 22);
    button->setAutoRaise(true);
    button->setIconSize(QSize(16, 16));
    button->setIcon(ButtonPicture(picture));
    if (hint != nullptr)
        button->setToolTip(QString::fromUtf8(hint));
    // Flat buttons never take the keyboard focus, so the window's keys keep working.
    button->setFocusPolicy(Qt::NoFocus);
    return button;
}

QFrame* Panel(QWidget* parent, const QRect& geometry) {
    auto* panel = new QFrame(parent);
    panel->setGeometry(geometry);
    panel->setFrameStyle(QFrame::Panel | QFrame::Raised);
    return panel;
}

} // namespace

TMain::TMain(UserDialogs& dialogs, MidiOutService& service, PlaybackClock& clock, QWidget* parent)
    : QMainWindow(parent), dialogs_(dialogs, [this] { EndGesture(); }), service_(service),
      clock_(clock), document_(std::make_unique<SongDocument>()) {
    setWindowTitle(QStringLiteral("Kadrel"));
    BuildLayout();
    BuildMenu();
    ResizeToDesignSize();
    ConnectDocument();
    FormCreate();
}

TMain::~TMain() {
    // The score's notes refer to the song's, so the score is emptied first; the document then
    // goes without telling a window that is going too.
    if (Partition != nullptr)
        Partition->ClearNotes();
    document_->disconnect(this);
    document_->History().disconnect(this);
    document_.reset();
}

void TMain::BuildLayout() {
    client_ = new QWidget(this);
    setCentralWidget(client_);
    client_->setMinimumSize(MinimumClientSize);

    Partition = new TPartition(client_);
    Partition->setGeometry(8, 8, 849, 112);
    Partition->SetInterWidth(8);
    Partition->SetSmallestWidth(2);
    Partition->SetLargePosLen(StartGrid);
    Partition->SetCursorPos(0);
    Partition->SetMesureLen(64);
    Partition->SetVertGridLen(16);
    Partition->SetFirstMesure(0);
    Partition->setFocusPolicy(Qt::NoFocus);
    Partition->OnExtMouseDown = [this](TPartition* sender, Qt::MouseButton button,
                                       TShiftState shift, std::int32_t x, std::int32_t y,
                                       std::int32_t pos, std::int32_t largePos,
                                       std::uint8_t noteNum, TPartitionNote* note) {
        RunHandler([&] {
            PartitionExtMouseDown(sender, button, shift, x, y, pos, largePos, noteNum, note);
        });
    };
    Partition->OnExtMouseMove = [this](TPartition* sender, TShiftState shift, std::int32_t x,
                                       std::int32_t y, std::int32_t pos, std::int32_t largePos,
                                       std::uint8_t noteNum, TPartitionNote* note) {
        RunHandler(
            [&] { PartitionExtMouseMove(sender, shift, x, y, pos, largePos, noteNum, note); });
    };
    Partition->OnExtMouseUp = [this](TPartition* sender, Qt::MouseButton button, TShiftState shift,
                                     std::int32_t x, std::int32_t y, std::int32_t pos,
                                     std::int32_t largePos, std::uint8_t noteNum,
                                     TPartitionNote* note) {
        RunHandler([&] {
            PartitionExtMouseUp(sender, button, shift, x, y, pos, largePos, noteNum, note);
        });
    };

    client_->installEventFilter(this);

    TrackList = new QTreeWidget(client_);
    TrackList->setGeometry(8, 160, 849, 230);
    TrackList->setColumnCount(4);
    TrackList->setHeaderLabels({QStringLiteral("#"), QStringLiteral("Nom du track"),
                                QStringLiteral("Canal"), QStringLiteral("Instrument")});
    TrackList->setRootIsDecorated(false);
    TrackList->setItemsExpandable(false);
    TrackList->setUniformRowHeights(true);
    TrackList->setSelectionMode(QAbstractItemView::SingleSelection);
    TrackList->setSelectionBehavior(QAbstractItemView::SelectRows);
    TrackList->setEditTriggers(QAbstractItemView::NoEditTriggers);
    TrackList->setAllColumnsShowFocus(true);
    TrackList->header()->setMinimumSectionSize(16);
    TrackList->setColumnWidth(0, 25);
    TrackList->setColumnWidth(1, 200);
    TrackList->setColumnWidth(3, 200);
    TrackList->headerItem()->setTextAlignment(2, Qt::AlignCenter);
    TrackList->header()->setStretchLastSection(false);
    Connect(TrackList, &QTreeWidget::itemSelectionChanged, &TMain::TrackListClick);

    AddTrack = new QPushButton(QStringLiteral("Ajouter"), client_);
    AddTrack->setGeometry(8, 128, 75, 25);
    ModTrack = new QPushButton(QStringLiteral("Modifier"), client_);
    ModTrack->setGeometry(88, 128, 75, 25);
    ModTrack->setEnabled(false);
    DelTrack = new QPushButton(QStringLiteral("Supprimer"), client_);
    DelTrack->setGeometry(168, 128, 75, 25);
    DelTrack->setEnabled(false);
    Connect(AddTrack, &QPushButton::clicked, &TMain::AddTrackClick);
    Connect(ModTrack, &QPushButton::clicked, &TMain::ModTrackClick);
    Connect(DelTrack, &QPushButton::clicked, &TMain::DelTrackClick);

    BuildPlayPanel();
    BuildEditModePanel();

    TimerNoteOFF = new QTimer(this);
    TimerNoteOFF->setInterval(PreviewMs);
    Connect(TimerNoteOFF, &QTimer::timeout, &TMain::TimerNoteOFFTimer);

    for (QWidget* w : {static_cast<QWidget*>(TrackList), static_cast<QWidget*>(AddTrack),
                       static_cast<QWidget*>(ModTrack), static_cast<QWidget*>(DelTrack)})
        w->installEventFilter(this);
    setTabOrder(TrackList, AddTrack);
    setTabOrder(AddTrack, ModTrack);
    setTabOrder(ModTrack, DelTrack);
}

void TMain::BuildPlayPanel() {
    PanelPlay = Panel(client_, QRect(256, 128, 234, 25));
    BackBegin = FlatButton(PanelPlay, 2, "Début", Picture::BackBegin);
    Back2 = FlatButton(PanelPlay, 26, "Arrière rapide", Picture::Back2);
    Back1 = FlatButton(PanelPlay, 50, "Arrière", Picture::Back1);
    Play = FlatButton(PanelPlay, 82, "Jouer", Picture::Play);
    StopPlay = FlatButton(PanelPlay, 106, "Arrêt", Picture::StopPlay);
    PausePlay = FlatButton(PanelPlay, 130, "Pause", Picture::PausePlay);
    PausePlay->setEnabled(false);
    Forw1 = FlatButton(PanelPlay, 162, "Avancer", Picture::Forw1);
    Forw2 = FlatButton(PanelPlay, 186, "Avance rapide", Picture::Forw2);
    ForwEnd = FlatButton(PanelPlay, 210, "Aller à la fin", Picture::ForwEnd);

    Connect(BackBegin, &QToolButton::clicked, &TMain::BackBeginClick);
    Connect(Back2, &QToolButton::pressed, &TMain::Back2MouseDown);
    Connect(Back1, &QToolButton::pressed, &TMain::Back1MouseDown);
    Connect(Play, &QToolButton::clicked, &TMain::PlayClick);
    Connect(StopPlay, &QToolButton::clicked, &TMain::StopPlayClick);
    Connect(PausePlay, &QToolButton::clicked, &TMain::PausePlayClick);
    Connect(Forw1, &QToolButton::pressed, &TMain::Forw1MouseDown);
    Connect(Forw2, &QToolButton::pressed, &TMain::Forw2MouseDown);
    Connect(ForwEnd, &QToolButton::clicked, &TMain::ForwEndClick);
    for (QToolButton* seek : {BackBegin, Back2, Back1, Forw1, Forw2, ForwEnd})
        Connect(seek, &QToolButton::released, &TMain::SpeedMouseUp);
}

void TMain::BuildEditModePanel() {
    PanelEditMode = Panel(client_, QRect(504, 128, 153, 25));
    ModeSelect = FlatButton(PanelEditMode, 2, "Mode sélection", Picture::ModeSelect);
    ModeNote =
        FlatButton(PanelEditMode, 26, "Mode ajout / suppression de notes", Picture::ModeNote);
    ModeDieze = FlatButton(PanelEditMode, 50, "Mode dièzes / bémols", Picture::ModeDieze);
    editModes_ = new QButtonGroup(this);
    editModes_->setExclusive(true);
    for (QToolButton* mode : {ModeSelect, ModeNote, ModeDieze}) {
        mode->setCheckable(true);
        editModes_->addButton(mode);
    }
    ModeNote->setChecked(true);
    Connect(ModeNote, &QToolButton::clicked, &TMain::ModeNoteClick);
    Connect(ModeDieze, &QToolButton::clicked, &TMain::ModeDiezeClick);

    GridLess = FlatButton(PanelEditMode, 80, "Grille plus petite (raccourci clavier: - )",
                          Picture::GridLess);
    GridPlus = FlatButton(PanelEditMode, 104, "Grille plus grande (raccourci clavier: + )",
                          Picture::GridPlus);
    Connect(GridLess, &QToolButton::clicked, &TMain::GridLessClick);
    Connect(GridPlus, &QToolButton::clicked, &TMain::GridPlusClick);

    GridSize = new QLabel(QString::number(StartGrid), PanelEditMode);
    // Wide enough for "64" in the system font, which is larger than the 12 pixels it once had.
    GridSize->setGeometry(131, 5, 20, 16);
    GridSize->setToolTip(QStringLiteral("Taille actuelle de la grille"));
}

void TMain::BuildMenu() {
    menuBar()->setNativeMenuBar(false);
    Fichier = menuBar()->addMenu(QStringLiteral("&Fichier"));
    auto item = [this](const char* caption, const QKeySequence& shortcut,
                       void (TMain::*handler)()) {
        QAction* action = Fichier->addAction(QString::fromUtf8(caption));
        action->setShortcut(shortcut);
        Connect(action, &QAction::triggered, handler);
        return action;
    };
    Nouveau = item("&Nouveau", QKeySequence(Qt::Key_F2), &TMain::NouveauClick);
    Ouvrir = item("&Ouvrir...", QKeySequence(Qt::Key_F3), &TMain::OuvrirClick);
    Importer = item("&Importer un fichier MIDI...", QKeySequence(Qt::CTRL | Qt::Key_I),
                    &TMain::ImporterClick);
    Enregistrer = item("&Enregistrer", QKeySequence(Qt::Key_F4), &TMain::EnregistrerClick);
    SaveAs =
        item("Enregistrer &sous...", QKeySequence(Qt::SHIFT | Qt::Key_F4), &TMain::SaveAsClick);
    ExportWav = item("E&xporter en WAV...", QKeySequence(), &TMain::ExportWavClick);
    Fichier->addSeparator();
    Deasm = item("&Désassembler MIDI...", QKeySequence(Qt::Key_F5), &TMain::DeasmClick);
    Fichier->addSeparator();
    Quitter = item("&Quitter", QKeySequence(Qt::ALT | Qt::Key_F4), &TMain::QuitterClick);
    BuildEditionMenu();
}

void TMain::ResizeToDesignSize() {
    // The menu bar sits above the client area; FormCreate fits the kept edges to whatever size
    // the client area really gets.
    const int menu = menuBar()->heightForWidth(DesignClientSize.width());
    resize(DesignClientSize + QSize(0, menu >= 0 ? menu : menuBar()->sizeHint().height()));
}

void TMain::FormCreate() {
    try {
        midiOut_ = std::make_unique<TMidiOutput>(0, true, service_);
    } catch (const std::exception& e) {
        // The window comes up all the same; the user is told once, when it is shown, and the
        // commands then work without sending anything.
        startError_ = QString::fromStdString(e.what());
        ScheduleStart();
    }
    stretching_ = false;
    seekReleased_ = true;
    ApplyKeptEdges();
    draggedNote_ = nullptr;
    // The song starts empty, unmodified and without a file name.
}

void TMain::OpenFileAtStart(const QString& path) {
    startFile_ = path;
    ScheduleStart();
}

void TMain::ScheduleStart() {
    if (std::exchange(startScheduled_, true))
        return;
    QTimer::singleShot(0, this, [this] { RunStart(); });
}

void TMain::RunStart() {
    if (!startError_.isEmpty())
        ShowError(std::exchange(startError_, QString()));
    if (!startFile_.isEmpty()) {
        const QString file = std::exchange(startFile_, QString());
        RunHandler([this, &file] { OpenFile(file); });
    }
}

void TMain::ApplyKeptEdges() {
    const int width = client_->width();
    const int height = client_->height();
    TrackList->resize(std::max(0, width - 16), std::max(0, height - TrackList->y() - 8));
    if (Partition->width() != std::max(0, width - 16)) {
        Partition->resize(std::max(0, width - 16), Partition->height());
        Partition->Paint();
    }
}

bool TMain::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress && watched != client_) {
        const int key = VirtualKey(*static_cast<QKeyEvent*>(event));
        if (key != 0)
            RunHandler([this, key] { FormKeyDown(key); });
    } else if (watched == client_ && event->type() == QEvent::Resize) {
        ApplyKeptEdges();
    }
    // The key goes on to the control as usual.
    return QMainWindow::eventFilter(watched, event);
}

void TMain::keyPressEvent(QKeyEvent* event) {
    // Keys of the track list and the track buttons were handled on their way there; those that
    // the control did not want come on to the window, and must not count twice. Keys go to the
    // focused control, so a key that reaches the window from one of those controls has been seen
    // already.
    const QWidget* focus = QApplication::focusWidget();
    const bool seen =
        focus == TrackList || focus == AddTrack || focus == ModTrack || focus == DelTrack;
    const int key = VirtualKey(*event);
    if (key != 0 && !seen)
        RunHandler([this, key] { FormKeyDown(key); });
    QMainWindow::keyPressEvent(event);
}

void TMain::FormKeyDown(int Key) {
    switch (Key) {
    case KeyDelete: {
        if (!ModeSelect->isChecked())
            return;
        // A drag under way ends first, as its own step.
        EndGesture();
        const std::vector<std::uint32_t> doomed =
            SongIndicesOf([](const TPartitionNote& note) { return note.Selected; });
        document_->RemoveNotes(doomed, NoteEdit::Remove);
        Partition->Paint();
        document_->Touch();
        break;
    }
    case KeyKeypadPlus:
        GridPlusClick();
        break;
    case KeyKeypadMinus:
        GridLessClick();
        break;
    default:
        break;
    }
}

void TMain::GridLessClick() {
    SetGridSize(std::max(SmallestGrid, Partition->LargePosLen() / 2));
}

void TMain::GridPlusClick() {
    SetGridSize(std::min(LargestGrid, Partition->LargePosLen() * 2));
}

// New notes snap to the grid size; the grid lines follow it, but never closer than 4 positions.
void TMain::SetGridSize(int size) {
    Partition->SetLargePosLen(static_cast<std::uint8_t>(size));
    Partition->SetVertGridLen(Partition->LargePosLen());
    if (Partition->VertGridLen() < 4)
        Partition->SetVertGridLen(4);
    GridSize->setText(QString::number(Partition->LargePosLen()));
}

void TMain::QuitterClick() {
    close();
}

void TMain::closeEvent(QCloseEvent* event) {
    // Unsaved work is offered for saving, as New and Open do; the window stays open when the
    // user cancels or when the save did not happen.
    if (!closePending_ && !MaybeSave()) {
        event->ignore();
        return;
    }
    // A running loop ends first and sends its last messages through the port; the window
    // closes when it has returned. Every request waits, the second one as much as the first.
    if (playLoopRunning_ || seekLoopRunning_) {
        closePending_ = true;
        pauseRequest_ = true;
        seekReleased_ = true;
        event->ignore();
        return;
    }
    closing_ = true;
    TimerNoteOFF->stop();
    midiOut_.reset();
    pauseRequest_ = true;
    document_->Replace(Song(), true);
    event->accept();
}

void TMain::FinishPendingClose() {
    if (closePending_ && !playLoopRunning_ && !seekLoopRunning_)
        QTimer::singleShot(0, this, [this] { close(); });
}

void TMain::RunHandler(const std::function<void()>& handler) {
    try {
        handler();
    } catch (const std::exception& e) {
        ShowError(QString::fromStdString(e.what()));
    }
    // Whatever the handler did to the selection, the track or the song shows in the Édition
    // items before the next key can reach them.
    UpdateEditActions();
}

QMessageBox::StandardButton TMain::Ask(QMessageBox::Icon icon, const QString& caption,
                                       const QString& text, QMessageBox::StandardButtons buttons) {
    return dialogs_.Message(this, icon, caption, text, buttons);
}

void TMain::ShowError(const QString& text) {
    dialogs_.Message(this, QMessageBox::Critical, QStringLiteral("Erreur"), text, QMessageBox::Ok);
}

// --- sending ---

namespace {

// Without a port nothing is sent, but a channel that no port would take is refused all the
// same, so that no note is ever made on a channel that files cannot hold.
void CheckChannel(std::int32_t channel) {
    if (channel < 0 || channel > 15)
        throw Error("Invalid MIDI channel: " + std::to_string(channel));
}

} // namespace

void TMain::SendNoteOn(std::int32_t channel, std::uint8_t note) {
    CheckChannel(channel);
    if (midiOut_)
        midiOut_->NoteOn(static_cast<std::uint8_t>(channel), note, 127);
}

void TMain::SendNoteOff(std::int32_t channel, std::uint8_t note) {
    CheckChannel(channel);
    if (midiOut_)
        midiOut_->NoteOff(static_cast<std::uint8_t>(channel), note);
}

void TMain::SendChangePatch(std::int32_t channel, std::int32_t program) {
    CheckChannel(channel);
    if (midiOut_)
        midiOut_->ChangePatch(static_cast<std::uint8_t>(channel),
                              static_cast<std::uint8_t>(program));
}

void TMain::SendAllNotesOff(std::int32_t channel) {
    CheckChannel(channel);
    if (midiOut_)
        midiOut_->AllNotesOff(static_cast<std::uint8_t>(channel));
}

} // namespace kadrel
