#pragma once

#include "document/SongDocument.h"
#include "editor/FileActions.h"
#include "editor/MainWindow.h"
#include "editor/NoteEditingTool.h"
#include "editor/TrackListView.h"
#include "editor/Transport.h"

namespace kadrel::test {

// What tests and benchmarks reach inside the main window: its components and its parts.
struct WindowAccess {
    static const TMainComponents& Ui(const TMain& window) { return window.ui_; }
    static SongDocument& Document(TMain& window) { return *window.document_; }
    static Transport& TransportOf(TMain& window) { return *window.transport_; }
    static NoteEditingTool& Tool(TMain& window) { return *window.tool_; }
    static TrackListView& Tracks(TMain& window) { return *window.tracks_; }
    static FileActions& Files(TMain& window) { return *window.files_; }
};

} // namespace kadrel::test
