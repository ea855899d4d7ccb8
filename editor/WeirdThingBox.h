#pragma once

#include "midi/Vlv.h"

class QWidget;

namespace kadrel {

class UserDialogs;

// While it lives, the model's reports of an inconsistent quantity are shown in a plain box with
// one OK button; the notifier installed before comes back afterwards.
class WeirdThingBox {
public:
    WeirdThingBox(UserDialogs& dialogs, QWidget* parent);
    ~WeirdThingBox();
    WeirdThingBox(const WeirdThingBox&) = delete;
    WeirdThingBox& operator=(const WeirdThingBox&) = delete;

private:
    WeirdThingNotifier previous_;
};

} // namespace kadrel
