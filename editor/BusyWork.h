#pragma once

#include <QString>

#include <chrono>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <utility>

class QWidget;

namespace kadrel {

// How long a work may run before the progress dialog with Annuler comes.
inline constexpr std::chrono::milliseconds BusyDialogDelay{2000};

// Runs work on a thread of its own while the windows stay painted: the busy cursor shows from
// the start, input to the windows waits until the work is done, and after dialogDelay a
// progress dialog over parent, with label and Annuler, shows that the program works. Returns
// false when the user chose Annuler: the work then ends on its own and what it makes is
// dropped. work must not touch widgets or anything the user interface changes meanwhile.
bool RunBusyWork(QWidget* parent, const QString& label, std::function<void()> work,
                 std::chrono::milliseconds dialogDelay = BusyDialogDelay);

// The same for a work with a result: the result, or nothing when the user cancelled. An
// exception that leaves work is thrown again here.
template <typename Result>
std::optional<Result> RunBusy(QWidget* parent, const QString& label, std::function<Result()> work,
                              std::chrono::milliseconds dialogDelay = BusyDialogDelay) {
    // Shared with the thread, which may outlive this call when the user cancels.
    struct Outcome {
        std::optional<Result> value;
        std::exception_ptr error;
    };
    auto outcome = std::make_shared<Outcome>();
    const bool finished = RunBusyWork(
        parent, label,
        [outcome, work = std::move(work)] {
            try {
                outcome->value.emplace(work());
            } catch (...) {
                outcome->error = std::current_exception();
            }
        },
        dialogDelay);
    if (!finished)
        return std::nullopt;
    if (outcome->error)
        std::rethrow_exception(outcome->error);
    return std::move(outcome->value);
}

} // namespace kadrel
