#ifdef KADREL_HAVE_RENDER

#include "editor/WavExport.h"
#include "core/TempDir.h"

#include <QApplication>
#include <QProgressDialog>
#include <QTimer>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

namespace kadrel::test {
namespace {

// One track on channel 0, a piano.
Song TenSecondsOfNotes() {
    Song song;
    song.Tracks = {{"", 0, 0}};
    for (int i = 0; i < 20; ++i)
        song.Notes.push_back(TMidiNote{static_cast<std::uint8_t>(60 + i % 12), i * 16, 12, 0, 0});
    return song;
}

std::string Contents(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

TEST(WavExport, ProgressText) {
    EXPECT_EQ(WavExportProgressText(0, 0).toStdString(), "Exportation en WAV : position 0 sur 0");
    EXPECT_EQ(WavExportProgressText(120, 2000).toStdString(),
              "Exportation en WAV : position 120 sur 2 000");
}

TEST(WavExport, WritesWhatTheRendererMakesAndACancelLeavesTheOldFile) {
    TempDir dir;
    const std::string path = dir / "song.wav";
    const Song song = TenSecondsOfNotes();

    ASSERT_TRUE(ExportWavWithProgress(nullptr, song, path));
    const auto expected = RenderWavBytes(song);
    ASSERT_TRUE(expected);
    EXPECT_EQ(Contents(path), std::string(expected->Bytes().begin(), expected->Bytes().end()));

    std::ofstream(path, std::ios::trunc) << "old";
    bool sawDialog = false;
    QTimer::singleShot(0, [&] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* dialog = qobject_cast<QProgressDialog*>(w); dialog && dialog->isVisible()) {
                sawDialog = true;
                EXPECT_EQ(dialog->labelText().left(29).toStdString(),
                          "Exportation en WAV : position");
                dialog->cancel();
            }
    });
    EXPECT_FALSE(ExportWavWithProgress(nullptr, song, path));
    EXPECT_TRUE(sawDialog);
    EXPECT_EQ(Contents(path), "old");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 1)
        << "no temporary file is left";
}

} // namespace
} // namespace kadrel::test

#endif
