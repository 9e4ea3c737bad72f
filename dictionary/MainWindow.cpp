#include "dictionary/MainWindow.h"

MainWindow::MainWindow(QWidget* parent) : QMainWindow(parent) {
    setObjectName("Form4");
    setWindowTitle("Englesko-hrvatski i hrvatsko-engleski vokabis");
}
