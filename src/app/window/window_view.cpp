#include "app/window/window_view.h"

#include <QApplication>

#include "app/window/form1.h"
#include "app/window/message_box_prompter.h"

namespace app {

int ExecWindowView(Session& session, const char* program_name) {
    // Qt sees only the program's name: the command line belongs to the updater.
    int argc = 1;
    char* argv[] = {const_cast<char*>(program_name), nullptr};
    QApplication application(argc, argv);
    QApplication::setApplicationName(kApplicationName);

    run::RunContext& context = session.context();
    MessageBoxPrompter prompter;
    Form1 form(context, [&](bool requested_by_user) {
        return session.RequestClose(requested_by_user, prompter);
    });
    prompter.SetParent(&form);
    context.SetEventPump([] { QCoreApplication::processEvents(); });
    // Workers of the company phase reach the grid and the progress through Qt's event queue.
    context.SetDispatcher([&application](std::function<void()> task) {
        QMetaObject::invokeMethod(&application, std::move(task), Qt::QueuedConnection);
    });
    form.SetOnFirstShown([&] {
        if (session.Run() == Session::AfterRun::kCloseNow)
            form.close();
        else
            form.StartClosingTimer();
    });
    form.show();
    QApplication::exec();
    context.SetEventPump({});
    context.SetDispatcher({});
    return session.ExitCode();
}

}  // namespace app
