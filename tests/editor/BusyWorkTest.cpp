#include "editor/BusyWork.h"
#include "EditorFixture.h"
#include "core/Bytes.h"
#include "core/TempDir.h"
#include "song/NoteClipboard.h"
#include "util/Error.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QProgressDialog>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <atomic>
#include <optional>

namespace kadrel::test {
namespace {

using namespace std::chrono_literals;

// A format-0 file of `count` notes, one after the other, at 16 ticks per quarter note.
Bytes ManyNotes(int count) {
    Bytes events;
    for (int i = 0; i < count; ++i)
        events.insert(events.end(), {0x00, 0x90, static_cast<std::uint8_t>(40 + i % 40), 100, 0x04,
                                     0x80, static_cast<std::uint8_t>(40 + i % 40), 0});
    events.insert(events.end(), {0x00, 0xFF, 0x2F, 0x00});
    const auto size = static_cast<std::uint32_t>(events.size());
    return Cat({Tag("MThd"),
                {0, 0, 0, 6, 0, 0, 0, 1, 0, 0x10},
                Tag("MTrk"),
                {static_cast<std::uint8_t>(size >> 24), static_cast<std::uint8_t>(size >> 16),
                 static_cast<std::uint8_t>(size >> 8), static_cast<std::uint8_t>(size)},
                events});
}

TEST(BusyWork, GivesTheResultOrTheErrorOfTheWork) {
    EXPECT_EQ(RunBusy<int>(nullptr, QString(), [] { return 42; }), std::optional<int>(42));
    try {
        RunBusy<int>(nullptr, QString(), []() -> int { throw Error("refusé"); });
        ADD_FAILURE() << "the work's error is lost";
    } catch (const Error& e) {
        EXPECT_STREQ(e.what(), "refusé");
    }
    EXPECT_EQ(QApplication::overrideCursor(), nullptr) << "the busy cursor is gone";
}

// A long work shows a dialog with Annuler; Annuler ends the wait at once, the work's result is
// dropped.
TEST(BusyWork, AnnulerInTheDialogEndsTheWait) {
    auto release = std::make_shared<std::atomic<bool>>(false);
    QString label;
    QString button;
    // Looks for the dialog until it shows (the work never ends without it).
    QTimer look;
    QObject::connect(&look, &QTimer::timeout, [&] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* dialog = qobject_cast<QProgressDialog*>(w); dialog && dialog->isVisible()) {
                label = dialog->labelText();
                if (auto* cancel = dialog->findChild<QPushButton*>())
                    button = cancel->text();
                look.stop();
                QTest::mouseClick(dialog->findChild<QPushButton*>(), Qt::LeftButton);
            }
    });
    look.start(1);
    const std::optional<int> result = RunBusy<int>(
        nullptr, QStringLiteral("Importation de x.mid..."),
        [release] {
            while (!release->load())
                std::this_thread::sleep_for(1ms);
            return 1;
        },
        0ms);
    release->store(true);
    EXPECT_EQ(result, std::nullopt);
    EXPECT_EQ(label, "Importation de x.mid...");
    EXPECT_EQ(button, "Annuler");
}

class Busy : public EditorTest {
protected:
    // What the window looked like when the events waiting before a command were handled.
    struct Seen {
        bool handled = false;
        bool busyCursor = false;
        std::size_t notes = 0;
        int rows = 0;
    };

    // Posts an event that notes what it sees, as a repaint would be handled, then runs the
    // command.
    Seen DuringCommand(const std::function<void()>& command) {
        Seen seen;
        QMetaObject::invokeMethod(
            window.get(),
            [&] {
                seen.handled = true;
                const QCursor* cursor = QApplication::overrideCursor();
                seen.busyCursor = cursor != nullptr && cursor->shape() == Qt::WaitCursor;
                seen.notes = Notes().size();
                seen.rows = RowCount();
            },
            Qt::QueuedConnection);
        command();
        return seen;
    }
};

// A paste or an import works while the window handles its events (it stays painted) under the
// busy cursor, the song not yet changed; the song changes once the work is done.
TEST_F(Busy, PasteAndImportKeepTheWindowPaintedUnderTheBusyCursor) {
    const Bytes file = ManyNotes(20000);
    TempDir dir;
    WriteFile(dir / "many.mid", ManyNotes(30000));
    AddTrack(0);
    auto* data = new QMimeData();
    data->setData(QString::fromLatin1(MidiFileMimeType),
                  QByteArray(reinterpret_cast<const char*>(file.data()),
                             static_cast<qsizetype>(file.size())));
    QGuiApplication::clipboard()->setMimeData(data);

    const Seen paste = DuringCommand([&] { window->CollerClick(); });
    EXPECT_TRUE(paste.handled) << "the window handled no event during the paste";
    EXPECT_TRUE(paste.busyCursor);
    EXPECT_EQ(paste.notes, 0u);
    EXPECT_EQ(Notes().size(), 20000u);

    MarkSaved();
    dialogs.OpenNames.push_back(QString::fromStdString(dir / "many.mid"));
    const Seen import = DuringCommand([&] { window->ImporterClick(); });
    EXPECT_TRUE(import.handled) << "the window handled no event during the import";
    EXPECT_TRUE(import.busyCursor);
    EXPECT_EQ(import.notes, 20000u) << "the song is replaced only once the file is read";
    EXPECT_EQ(Notes().size(), 30000u);
    EXPECT_EQ(RowCount(), 1);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

} // namespace
} // namespace kadrel::test
