#include "editor/WavExport.h"

#include "song/ImportTexts.h"

#include <QApplication>
#include <QProgressDialog>

#include <algorithm>
#include <limits>

namespace kadrel {

QString WavExportProgressText(std::int64_t position, std::int64_t lastPosition) {
    return QStringLiteral("Exportation en WAV : position %1 sur %2")
        .arg(QString::fromStdString(
                 GroupedNumber(static_cast<std::uint64_t>(std::max<std::int64_t>(position, 0)))),
             QString::fromStdString(GroupedNumber(
                 static_cast<std::uint64_t>(std::max<std::int64_t>(lastPosition, 0)))));
}

bool ExportWavWithProgress(QWidget* parent, Song song, const std::string& fileName) {
    QProgressDialog dialog(WavExportProgressText(0, 0), QStringLiteral("Annuler"), 0, 0, parent);
    dialog.setWindowTitle(QStringLiteral("Exporter en WAV"));
    dialog.setWindowModality(Qt::WindowModal);
    dialog.setMinimumDuration(0);
    dialog.setAutoClose(false);
    dialog.setAutoReset(false);
    // The bar counts positions; a song longer than the bar's range is shown in proportion.
    constexpr std::int64_t BarRange = std::numeric_limits<int>::max();
    const auto progress = [&](std::int64_t position, std::int64_t lastPosition) {
        const std::int64_t last = std::max<std::int64_t>(lastPosition, 1);
        const std::int64_t done = std::clamp<std::int64_t>(position, 0, last);
        const int maximum = static_cast<int>(std::min(last, BarRange));
        if (dialog.maximum() != maximum)
            dialog.setMaximum(maximum);
        dialog.setLabelText(WavExportProgressText(position, lastPosition));
        dialog.setValue(static_cast<int>(done * maximum / last));
        QApplication::processEvents();
        return !dialog.wasCanceled();
    };
    dialog.show();
    return RenderWav(song, fileName, progress);
}

} // namespace kadrel
