#include "app/window/message_box_prompter.h"

#include <QCoreApplication>
#include <QMessageBox>

namespace app {

bool MessageBoxPrompter::AskYesNo(const std::string& question) {
    return QMessageBox::question(
               parent_, QCoreApplication::applicationName(), QString::fromStdString(question),
               QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes) == QMessageBox::Yes;
}

void MessageBoxPrompter::ShowCritical(const std::string& message) {
    QMessageBox::critical(parent_, QCoreApplication::applicationName(),
                          QString::fromStdString(message), QMessageBox::Ok);
}

}  // namespace app
