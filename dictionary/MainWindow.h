#pragma once
#include <QMainWindow>

// The dictionary window (Form4).
class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit MainWindow(QWidget* parent = nullptr);
};
