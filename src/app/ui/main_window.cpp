#include "app/ui/main_window.h"

namespace varnesk {

MainWindow::MainWindow(QWidget* parent) : QMainWindow(parent)
{
    setObjectName(QStringLiteral("TForm1"));
    setWindowTitle(QStringLiteral("Varnesk"));
    setMinimumSize(970, 702);
}

} // namespace varnesk
