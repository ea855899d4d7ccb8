#include "editor/WeirdThingBox.h"

#include "editor/UserDialogs.h"

#include <QString>

namespace kadrel {

WeirdThingBox::WeirdThingBox(UserDialogs& dialogs, QWidget* parent)
    : previous_(SetWeirdThingNotifier([&dialogs, parent](const std::string& text) {
          dialogs.Message(parent, QMessageBox::NoIcon, QStringLiteral("Kadrel"),
                          QString::fromStdString(text), QMessageBox::Ok);
      })) {}

WeirdThingBox::~WeirdThingBox() {
    SetWeirdThingNotifier(previous_);
}

} // namespace kadrel
