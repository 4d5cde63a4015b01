// Process entry: the application, its windows and the event loop.
#include "app/ui/main_window.h"

#include <QApplication>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Varnesk"));
    varnesk::MainWindow window;
    window.show();
    return app.exec();
}
