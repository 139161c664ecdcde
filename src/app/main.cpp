// The sending process: its window is the process. Start-up runs before the window is shown; the
// event loop then delivers the campaign's ticks, the buttons and the controller's commands.
#include "app/ProcessSetup.h"
#include "app/SenderWindow.h"

#include <QApplication>

int main(int argc, char** argv) {
    quillmark::app::selectPlatform();
    QApplication application(argc, argv);
    quillmark::app::installErrorBox();
    quillmark::app::quitOnTerminationSignals();

    quillmark::app::SenderWindow sender;
    sender.Form_Load();
    sender.window().show();
    return QApplication::exec();
}
