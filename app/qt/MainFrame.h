#pragma once

#include <QMainWindow>

namespace corvid {

// The main window: toolbar, status bar and the statement list.
class CMainFrame : public QMainWindow {
    Q_OBJECT
public:
    explicit CMainFrame(QWidget* parent = nullptr);
};

}  // namespace corvid
