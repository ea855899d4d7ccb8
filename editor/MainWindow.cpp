#include "editor/MainWindow.h"

#include "document/SongDocument.h"
#include "editor/ButtonPictures.h"
#include "editor/EditActions.h"
#include "editor/FileActions.h"
#include "editor/NoteEditingTool.h"
#include "editor/ScoreView.h"
#include "editor/TrackListView.h"
#include "editor/Transport.h"
#include "editor/ViewActions.h"
#include "midi/MidiOutput.h"

#include <QAction>
#include <QApplication>
#include <QButtonGroup>
#include <QClipboard>
#include <QCloseEvent>
#include <QFrame>
#include <QGuiApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>

#include <algorithm>
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
    : QMainWindow(parent), dialogs_(dialogs, [this] { tool_->EndGesture(); }), service_(service),
      document_(std::make_unique<SongDocument>()) {
    setWindowTitle(QStringLiteral("Kadrel"));
    BuildLayout();
    transport_ = new Transport(*document_, clock, *this, ui_,
                               [this](const std::function<void()>& h) { RunHandler(h); });
    ui_.TimerNoteOFF = transport_->PreviewTimer();
    Connect(ui_.TimerNoteOFF, &QTimer::timeout, &TMain::TimerNoteOFFTimer);
    scoreView_ = new ScoreView(*document_, *ui_.Partition, this);
    tracks_ = new TrackListView(*document_, *scoreView_, *transport_, dialogs_, ui_, this);
    tool_ = std::make_unique<NoteEditingTool>(*document_, *scoreView_, *transport_, ui_,
                                              [this] { return tracks_->SelectedRow(); });
    files_ = std::make_unique<FileActions>(*this, *document_, dialogs_, *transport_, *tracks_, ui_);
    edits_ =
        std::make_unique<EditActions>(*document_, *scoreView_, *tracks_, *tool_, dialogs_, ui_);
    views_ = std::make_unique<ViewActions>(*document_, *scoreView_, ui_);
    BuildMenus();
    ResizeToDesignSize();
    ConnectParts();
    FormCreate();
}

TMain::~TMain() {
    // The views let go of the song before it goes, without telling a window that is going too.
    document_->disconnect(this);
    document_->History().disconnect(this);
    ui_.Partition->ClearNotes();
    delete transport_;
    delete tracks_;
    delete scoreView_;
    document_.reset();
}

void TMain::BuildLayout() {
    client_ = new QWidget(this);
    setCentralWidget(client_);
    client_->setMinimumSize(MinimumClientSize);

    auto* score = new TPartition(client_);
    ui_.Partition = score;
    score->setGeometry(8, 8, 849, 112);
    score->SetInterWidth(8);
    score->SetSmallestWidth(2);
    score->SetLargePosLen(StartGrid);
    score->SetCursorPos(0);
    score->SetMesureLen(64);
    score->SetVertGridLen(16);
    score->SetFirstMesure(0);
    score->setFocusPolicy(Qt::NoFocus);
    // Notes above or below the rows shown are marked at the edge instead of being absent.
    score->SetEdgeMarks(true);
    score->OnExtMouseDown = [this](TPartition* sender, Qt::MouseButton button, TShiftState shift,
                                   std::int32_t x, std::int32_t y, std::int32_t pos,
                                   std::int32_t largePos, std::uint8_t noteNum,
                                   TPartitionNote* note) {
        RunHandler([&] {
            PartitionExtMouseDown(sender, button, shift, x, y, pos, largePos, noteNum, note);
        });
    };
    score->OnExtMouseMove = [this](TPartition* sender, TShiftState shift, std::int32_t x,
                                   std::int32_t y, std::int32_t pos, std::int32_t largePos,
                                   std::uint8_t noteNum, TPartitionNote* note) {
        RunHandler(
            [&] { PartitionExtMouseMove(sender, shift, x, y, pos, largePos, noteNum, note); });
    };
    score->OnExtMouseUp = [this](TPartition* sender, Qt::MouseButton button, TShiftState shift,
                                 std::int32_t x, std::int32_t y, std::int32_t pos,
                                 std::int32_t largePos, std::uint8_t noteNum,
                                 TPartitionNote* note) {
        RunHandler([&] {
            PartitionExtMouseUp(sender, button, shift, x, y, pos, largePos, noteNum, note);
        });
    };

    client_->installEventFilter(this);

    auto* list = new QTreeWidget(client_);
    ui_.TrackList = list;
    list->setGeometry(8, 160, 849, 230);
    list->setColumnCount(4);
    list->setHeaderLabels({QStringLiteral("#"), QStringLiteral("Nom du track"),
                           QStringLiteral("Canal"), QStringLiteral("Instrument")});
    list->setRootIsDecorated(false);
    list->setItemsExpandable(false);
    list->setUniformRowHeights(true);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setSelectionBehavior(QAbstractItemView::SelectRows);
    list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list->setAllColumnsShowFocus(true);
    list->header()->setMinimumSectionSize(16);
    list->setColumnWidth(0, 25);
    list->setColumnWidth(1, 200);
    list->setColumnWidth(3, 200);
    list->headerItem()->setTextAlignment(2, Qt::AlignCenter);
    list->header()->setStretchLastSection(false);
    Connect(list, &QTreeWidget::itemSelectionChanged, &TMain::TrackListClick);

    ui_.AddTrack = new QPushButton(QStringLiteral("Ajouter"), client_);
    ui_.AddTrack->setGeometry(8, 128, 75, 25);
    ui_.ModTrack = new QPushButton(QStringLiteral("Modifier"), client_);
    ui_.ModTrack->setGeometry(88, 128, 75, 25);
    ui_.ModTrack->setEnabled(false);
    ui_.DelTrack = new QPushButton(QStringLiteral("Supprimer"), client_);
    ui_.DelTrack->setGeometry(168, 128, 75, 25);
    ui_.DelTrack->setEnabled(false);
    Connect(ui_.AddTrack, &QPushButton::clicked, &TMain::AddTrackClick);
    Connect(ui_.ModTrack, &QPushButton::clicked, &TMain::ModTrackClick);
    Connect(ui_.DelTrack, &QPushButton::clicked, &TMain::DelTrackClick);

    BuildPlayPanel();
    BuildEditModePanel();

    for (QWidget* w :
         std::initializer_list<QWidget*>{list, ui_.AddTrack, ui_.ModTrack, ui_.DelTrack})
        w->installEventFilter(this);
    setTabOrder(list, ui_.AddTrack);
    setTabOrder(ui_.AddTrack, ui_.ModTrack);
    setTabOrder(ui_.ModTrack, ui_.DelTrack);
}

void TMain::BuildPlayPanel() {
    ui_.PanelPlay = Panel(client_, QRect(256, 128, 234, 25));
    QFrame* panel = ui_.PanelPlay;
    ui_.BackBegin = FlatButton(panel, 2, "Début", Picture::BackBegin);
    ui_.Back2 = FlatButton(panel, 26, "Arrière rapide", Picture::Back2);
    ui_.Back1 = FlatButton(panel, 50, "Arrière", Picture::Back1);
    ui_.Play = FlatButton(panel, 82, "Jouer", Picture::Play);
    ui_.StopPlay = FlatButton(panel, 106, "Arrêt", Picture::StopPlay);
    ui_.PausePlay = FlatButton(panel, 130, "Pause", Picture::PausePlay);
    ui_.PausePlay->setEnabled(false);
    ui_.Forw1 = FlatButton(panel, 162, "Avancer", Picture::Forw1);
    ui_.Forw2 = FlatButton(panel, 186, "Avance rapide", Picture::Forw2);
    ui_.ForwEnd = FlatButton(panel, 210, "Aller à la fin", Picture::ForwEnd);

    Connect(ui_.BackBegin, &QToolButton::clicked, &TMain::BackBeginClick);
    Connect(ui_.Back2, &QToolButton::pressed, &TMain::Back2MouseDown);
    Connect(ui_.Back1, &QToolButton::pressed, &TMain::Back1MouseDown);
    Connect(ui_.Play, &QToolButton::clicked, &TMain::PlayClick);
    Connect(ui_.StopPlay, &QToolButton::clicked, &TMain::StopPlayClick);
    Connect(ui_.PausePlay, &QToolButton::clicked, &TMain::PausePlayClick);
    Connect(ui_.Forw1, &QToolButton::pressed, &TMain::Forw1MouseDown);
    Connect(ui_.Forw2, &QToolButton::pressed, &TMain::Forw2MouseDown);
    Connect(ui_.ForwEnd, &QToolButton::clicked, &TMain::ForwEndClick);
    for (QToolButton* seek :
         {ui_.BackBegin, ui_.Back2, ui_.Back1, ui_.Forw1, ui_.Forw2, ui_.ForwEnd})
        Connect(seek, &QToolButton::released, &TMain::SpeedMouseUp);
}

void TMain::BuildEditModePanel() {
    ui_.PanelEditMode = Panel(client_, QRect(504, 128, 153, 25));
    QFrame* panel = ui_.PanelEditMode;
    ui_.ModeSelect = FlatButton(panel, 2, "Mode sélection", Picture::ModeSelect);
    ui_.ModeNote = FlatButton(panel, 26, "Mode ajout / suppression de notes", Picture::ModeNote);
    ui_.ModeDieze = FlatButton(panel, 50, "Mode dièzes / bémols", Picture::ModeDieze);
    ui_.EditModes = new QButtonGroup(this);
    ui_.EditModes->setExclusive(true);
    for (QToolButton* mode : {ui_.ModeSelect, ui_.ModeNote, ui_.ModeDieze}) {
        mode->setCheckable(true);
        ui_.EditModes->addButton(mode);
    }
    ui_.ModeNote->setChecked(true);
    Connect(ui_.ModeNote, &QToolButton::clicked, &TMain::ModeNoteClick);
    Connect(ui_.ModeDieze, &QToolButton::clicked, &TMain::ModeDiezeClick);

    ui_.GridLess =
        FlatButton(panel, 80, "Grille plus petite (raccourci clavier: - )", Picture::GridLess);
    ui_.GridPlus =
        FlatButton(panel, 104, "Grille plus grande (raccourci clavier: + )", Picture::GridPlus);
    Connect(ui_.GridLess, &QToolButton::clicked, &TMain::GridLessClick);
    Connect(ui_.GridPlus, &QToolButton::clicked, &TMain::GridPlusClick);

    ui_.GridSize = new QLabel(QString::number(StartGrid), panel);
    // Wide enough for "64" in the system font, which is larger than the 12 pixels it once had.
    ui_.GridSize->setGeometry(131, 5, 20, 16);
    ui_.GridSize->setToolTip(QStringLiteral("Taille actuelle de la grille"));
}

void TMain::BuildMenus() {
    menuBar()->setNativeMenuBar(false);
    QMenu* menu = nullptr;
    auto item = [this, &menu](const char* caption, const QKeySequence& shortcut,
                              void (TMain::*handler)()) {
        QAction* action = menu->addAction(QString::fromUtf8(caption));
        action->setShortcut(shortcut);
        Connect(action, &QAction::triggered, handler);
        return action;
    };
    menu = ui_.Fichier = menuBar()->addMenu(QStringLiteral("&Fichier"));
    ui_.Nouveau = item("&Nouveau", QKeySequence(Qt::Key_F2), &TMain::NouveauClick);
    ui_.Ouvrir = item("&Ouvrir...", QKeySequence(Qt::Key_F3), &TMain::OuvrirClick);
    ui_.Importer = item("&Importer un fichier MIDI...", QKeySequence(Qt::CTRL | Qt::Key_I),
                        &TMain::ImporterClick);
    ui_.Enregistrer = item("&Enregistrer", QKeySequence(Qt::Key_F4), &TMain::EnregistrerClick);
    ui_.SaveAs =
        item("Enregistrer &sous...", QKeySequence(Qt::SHIFT | Qt::Key_F4), &TMain::SaveAsClick);
    ui_.ExportWav = item("E&xporter en WAV...", QKeySequence(), &TMain::ExportWavClick);
    menu->addSeparator();
    ui_.Deasm = item("&Désassembler MIDI...", QKeySequence(Qt::Key_F5), &TMain::DeasmClick);
    menu->addSeparator();
    ui_.Quitter = item("&Quitter", QKeySequence(Qt::ALT | Qt::Key_F4), &TMain::QuitterClick);

    menu = ui_.Edition = menuBar()->addMenu(QStringLiteral("É&dition"));
    // The history's own items: their texts name the step, and they undo and redo it.
    QUndoStack& history = document_->History();
    ui_.Annuler = history.createUndoAction(this, QStringLiteral("Annuler"));
    ui_.Retablir = history.createRedoAction(this, QStringLiteral("Rétablir"));
    ui_.Annuler->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z));
    ui_.Retablir->setShortcuts(
        {QKeySequence(Qt::CTRL | Qt::Key_Y), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z)});
    // What an undo or a redo could not send is told once it is done.
    for (QAction* step : {ui_.Annuler, ui_.Retablir})
        connect(step, &QAction::triggered, this, [this] { RunHandler([] {}); });
    menu->addAction(ui_.Annuler);
    menu->addAction(ui_.Retablir);
    menu->addSeparator();
    ui_.Couper = item("Couper", QKeySequence(Qt::CTRL | Qt::Key_X), &TMain::CouperClick);
    ui_.Copier = item("Copier", QKeySequence(Qt::CTRL | Qt::Key_C), &TMain::CopierClick);
    ui_.Coller = item("Coller", QKeySequence(Qt::CTRL | Qt::Key_V), &TMain::CollerClick);
    ui_.Supprimer = item("Supprimer", QKeySequence(Qt::Key_Delete), &TMain::SupprimerClick);
    // The key itself stays the window's (its handler also runs in the track list and on the
    // track buttons): the item shows it and takes it only while its menu is open.
    ui_.Supprimer->setShortcutContext(Qt::WidgetShortcut);
    ui_.ToutSelectionner = item("Tout sélectionner", QKeySequence(Qt::CTRL | Qt::Key_A),
                                &TMain::ToutSelectionnerClick);
    menu->addSeparator();
    // The commands beyond the window's own handlers go straight to their parts.
    auto command = [this, &menu](const char* caption, const QList<QKeySequence>& shortcuts,
                                 std::function<void()> run) {
        QAction* action = menu->addAction(QString::fromUtf8(caption));
        action->setShortcuts(shortcuts);
        connect(action, &QAction::triggered, this, [this, run] { RunHandler(run); });
        return action;
    };
    ui_.Velocite = command("&Vélocité...", {QKeySequence(Qt::CTRL | Qt::Key_E)},
                           [this] { edits_->VelociteClick(); });

    menu = ui_.Affichage = menuBar()->addMenu(QStringLiteral("&Affichage"));
    ui_.ZoomAvant =
        command("Zoom &avant",
                {QKeySequence(Qt::CTRL | Qt::Key_Plus), QKeySequence(Qt::CTRL | Qt::Key_Equal)},
                [this] { views_->ZoomIn(); });
    ui_.ZoomArriere = command("Zoom a&rrière", {QKeySequence(Qt::CTRL | Qt::Key_Minus)},
                              [this] { views_->ZoomOut(); });
    ui_.ZoomNormal = command("Zoom &normal", {QKeySequence(Qt::CTRL | Qt::Key_0)},
                             [this] { views_->ZoomNormal(); });
    menu->addSeparator();
    ui_.Aigus = command("Vers les &aigus", {QKeySequence(Qt::ALT | Qt::Key_Up)},
                        [this] { views_->ScrollRows(-2); });
    ui_.Graves = command("Vers les &graves", {QKeySequence(Qt::ALT | Qt::Key_Down)},
                         [this] { views_->ScrollRows(2); });
    menu->addSeparator();
    ui_.AutresPistes = command("Afficher les autres &pistes", {},
                               [this] { views_->ShowOtherRows(ui_.AutresPistes->isChecked()); });
    ui_.AutresPistes->setCheckable(true);
    views_->UpdateActions();
}

void TMain::ConnectParts() {
    SongDocument& document = *document_;
    // An undo or a redo ends the gesture under way, as any other change does.
    connect(&document, &SongDocument::StepAboutToRun, this, [this] { tool_->EndGesture(); });
    connect(&document, &SongDocument::SongAboutToBeReplaced, this, [this] { tool_->EndGesture(); });
    connect(&document, &SongDocument::ModifiedChanged, this, [this] { files_->UpdateTitle(); });
    connect(&document, &SongDocument::FileNameChanged, this, [this] { files_->UpdateTitle(); });
    connect(&document.History(), &QUndoStack::indexChanged, this,
            [this] { edits_->UpdateActions(); });
    connect(ui_.Edition, &QMenu::aboutToShow, this, [this] { edits_->UpdateActions(); });
    connect(QGuiApplication::clipboard(), &QClipboard::dataChanged, this,
            [this] { edits_->UpdateActions(); });
    ui_.Partition->OnViewChange = [this](TPartition*) { views_->UpdateActions(); };
    ui_.Partition->OnNoteHint = [this](TPartition*, TPartitionNote* note) {
        return views_->NoteHint(*note);
    };
    connect(transport_, &Transport::WindowMayClose, this,
            [this] { QTimer::singleShot(0, this, [this] { close(); }); });
    // An error kept outside any handler is shown once the event that caused it is done.
    connect(
        transport_, &Transport::ErrorKept, this, [this] { RunHandler([] {}); },
        Qt::QueuedConnection);
}

void TMain::SetTrackInfo(TTrackInfo* dialog) {
    tracks_->SetTrackInfo(dialog);
}

void TMain::ResizeToDesignSize() {
    // The menu bar sits above the client area; FormCreate fits the kept edges to whatever size
    // the client area really gets.
    const int menu = menuBar()->heightForWidth(DesignClientSize.width());
    resize(DesignClientSize + QSize(0, menu >= 0 ? menu : menuBar()->sizeHint().height()));
}

void TMain::FormCreate() {
    try {
        transport_->Open(service_);
    } catch (const std::exception& e) {
        // The window comes up all the same; the user is told once, when it is shown, and the
        // commands then work without sending anything.
        startError_ = QString::fromStdString(e.what());
        if (!std::exchange(startScheduled_, true))
            QTimer::singleShot(0, this, [this] { RunStart(); });
    }
    ApplyKeptEdges();
    // The song starts empty, unmodified and without a file name.
}

void TMain::OpenFileAtStart(const QString& path) {
    startFile_ = path;
    if (!std::exchange(startScheduled_, true))
        QTimer::singleShot(0, this, [this] { RunStart(); });
}

void TMain::RunStart() {
    if (!startError_.isEmpty())
        ShowError(std::exchange(startError_, QString()));
    if (!startFile_.isEmpty()) {
        const QString file = std::exchange(startFile_, QString());
        RunHandler([this, &file] { files_->OpenStartFile(file); });
    }
}

void TMain::ApplyKeptEdges() {
    const int width = client_->width();
    const int height = client_->height();
    // A window taller than designed gives the score more rows, up to every note's; the track
    // list below takes what remains.
    TPartition& score = *ui_.Partition;
    const int designScore = 14 * score.InterWidth();
    const int allRows = 75 * score.InterWidth() / 2 + score.InterWidth() / 2;
    const int grow =
        std::clamp(height - DesignClientSize.height(), 0, std::max(0, allRows - designScore));
    const QSize scoreSize(std::max(0, width - 16), designScore + grow);
    if (score.size() != scoreSize) {
        score.resize(scoreSize);
        score.Paint();
    }
    for (QWidget* row : std::initializer_list<QWidget*>{ui_.AddTrack, ui_.ModTrack, ui_.DelTrack,
                                                        ui_.PanelPlay, ui_.PanelEditMode})
        row->move(row->x(), 128 + grow);
    ui_.TrackList->setGeometry(8, 160 + grow, std::max(0, width - 16),
                               std::max(0, height - 160 - grow - 8));
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
    // the control did not want come on to the window, and must not count twice.
    const QWidget* focus = QApplication::focusWidget();
    const bool seen = focus == ui_.TrackList || focus == ui_.AddTrack || focus == ui_.ModTrack ||
                      focus == ui_.DelTrack;
    const int key = VirtualKey(*event);
    if (key != 0 && !seen)
        RunHandler([this, key] { FormKeyDown(key); });
    QMainWindow::keyPressEvent(event);
}

void TMain::closeEvent(QCloseEvent* event) {
    // Unsaved work is offered for saving, as New and Open do; the window stays open when the
    // user cancels or when the save did not happen.
    if (!transport_->ClosePending() && !files_->MaybeSave()) {
        event->ignore();
        return;
    }
    if (!transport_->CloseRequested()) {
        event->ignore();
        return;
    }
    transport_->Close();
    document_->Replace(Song(), true);
    event->accept();
}

void TMain::customEvent(QEvent* event) {
    if (!transport_->Receive(event))
        QMainWindow::customEvent(event);
}

void TMain::RunHandler(const std::function<void()>& handler) {
    try {
        handler();
    } catch (const std::exception& e) {
        ShowError(QString::fromStdString(e.what()));
    }
    // What the transport could not send while the song changed is told too.
    if (const auto kept = transport_->TakeError())
        ShowError(*kept);
    // Whatever the handler did to the selection, the track or the song shows in the Édition
    // items before the next key can reach them.
    edits_->UpdateActions();
}

void TMain::ShowError(const QString& text) {
    dialogs_.Message(this, QMessageBox::Critical, QStringLiteral("Erreur"), text, QMessageBox::Ok);
}

// --- handlers: each hands the work to the part that does it ---

void TMain::FormKeyDown(int Key) {
    if (Key == KeyDelete)
        edits_->DeleteSelected();
    else if (Key == KeyKeypadPlus)
        GridPlusClick();
    else if (Key == KeyKeypadMinus)
        GridLessClick();
}

void TMain::GridLessClick() {
    SetGridSize(std::max(SmallestGrid, ui_.Partition->LargePosLen() / 2));
}

void TMain::GridPlusClick() {
    SetGridSize(std::min(LargestGrid, ui_.Partition->LargePosLen() * 2));
}

// New notes snap to the grid size; the grid lines follow it, but never closer than 4 positions.
void TMain::SetGridSize(int size) {
    ui_.Partition->SetLargePosLen(static_cast<std::uint8_t>(size));
    ui_.Partition->SetVertGridLen(ui_.Partition->LargePosLen());
    if (ui_.Partition->VertGridLen() < 4)
        ui_.Partition->SetVertGridLen(4);
    ui_.GridSize->setText(QString::number(ui_.Partition->LargePosLen()));
}

void TMain::QuitterClick() {
    close();
}
void TMain::AddTrackClick() {
    tracks_->AddTrackClick();
}
void TMain::ModTrackClick() {
    tracks_->ModTrackClick();
}
void TMain::DelTrackClick() {
    tracks_->DelTrackClick();
}

void TMain::TrackListClick() {
    // A drag under way lets go of the notes that the score stops showing.
    tool_->EndGesture();
    tracks_->ShowSelectedRow();
}

void TMain::NouveauClick() {
    files_->NouveauClick();
}
void TMain::OuvrirClick() {
    files_->OuvrirClick();
}
void TMain::ImporterClick() {
    files_->ImporterClick();
}
void TMain::EnregistrerClick() {
    files_->EnregistrerClick();
}
void TMain::SaveAsClick() {
    files_->SaveAsClick();
}
void TMain::ExportWavClick() {
    files_->ExportWavClick();
}
void TMain::DeasmClick() {
    files_->DeasmClick();
}
void TMain::AnnulerClick() {
    ui_.Annuler->trigger();
}
void TMain::RetablirClick() {
    ui_.Retablir->trigger();
}
void TMain::CouperClick() {
    edits_->CouperClick();
}
void TMain::CopierClick() {
    edits_->CopierClick();
}
void TMain::CollerClick() {
    edits_->CollerClick();
}
void TMain::SupprimerClick() {
    FormKeyDown(KeyDelete);
}
void TMain::ToutSelectionnerClick() {
    edits_->ToutSelectionnerClick();
}

void TMain::PartitionExtMouseDown(TPartition*, Qt::MouseButton Button, TShiftState, std::int32_t X,
                                  std::int32_t Y, std::int32_t, std::int32_t LargePos,
                                  std::uint8_t NoteNum, TPartitionNote* Note) {
    tool_->MouseDown(Button, X, Y, LargePos, NoteNum, Note);
}

void TMain::PartitionExtMouseMove(TPartition*, TShiftState Shift, std::int32_t X, std::int32_t Y,
                                  std::int32_t Pos, std::int32_t LargePos, std::uint8_t NoteNum,
                                  TPartitionNote*) {
    tool_->MouseMove(Shift, X, Y, Pos, LargePos, NoteNum);
}

void TMain::PartitionExtMouseUp(TPartition*, Qt::MouseButton, TShiftState, std::int32_t X,
                                std::int32_t Y, std::int32_t, std::int32_t, std::uint8_t,
                                TPartitionNote*) {
    tool_->MouseUp(X, Y);
}

void TMain::PreviewNote(std::int32_t Channel, std::uint8_t NoteNum) {
    transport_->PreviewNote(Channel, NoteNum);
}

void TMain::TimerNoteOFFTimer() {
    transport_->TimerNoteOFFTimer();
}
void TMain::ModeNoteClick() {
    ui_.Partition->ClearSelection();
}
void TMain::ModeDiezeClick() {
    ui_.Partition->ClearSelection();
}
void TMain::PlayClick() {
    transport_->PlayClick();
}
void TMain::StopPlayClick() {
    transport_->StopPlayClick();
}
void TMain::PausePlayClick() {
    transport_->PausePlayClick();
}
void TMain::BackBeginClick() {
    transport_->BackBeginClick();
}
void TMain::ForwEndClick() {
    transport_->ForwEndClick();
}
void TMain::Back2MouseDown() {
    transport_->StartSeek(Transport::SeekFastBack);
}
void TMain::Back1MouseDown() {
    transport_->StartSeek(Transport::SeekBack);
}
void TMain::Forw1MouseDown() {
    transport_->StartSeek(Transport::SeekForward);
}
void TMain::Forw2MouseDown() {
    transport_->StartSeek(Transport::SeekFastForward);
}
void TMain::SpeedMouseUp() {
    transport_->SpeedMouseUp();
}

} // namespace kadrel
