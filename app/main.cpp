// Start-up: Qt first, then the global JSON document, the exit clean-up, the window; the message
// loop runs until the window is closed, and the clean-up runs before Qt goes away.
#include <QApplication>
#include <memory>

#include "app/app_lifetime.h"
#include "app/handlers.h"
#include "app/main_window.h"

int main(int argc, char** argv) {
    QApplication qtApp(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quillmere"));

    quill::AppContext& app = quill::GlobalApp();
    quill::CreateGlobalDocument(app);

    quill::ExitRoutines exitRoutines;
    exitRoutines.Register(&quill::GlobalExitCleanup);

    {
        quill::MainWindow window;
        const std::unique_ptr<quill::WindowEvents> handlers = quill::MakeHandlers(app, window);
        window.SetEvents(handlers.get());
        window.show();
        QApplication::exec();
        window.SetEvents(nullptr);
    }

    exitRoutines.RunAll();
    return 0;
}
