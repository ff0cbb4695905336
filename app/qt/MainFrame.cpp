#include "app/qt/MainFrame.h"

namespace corvid {

CMainFrame::CMainFrame(QWidget* parent) : QMainWindow(parent) { resize(1000, 700); }

}  // namespace corvid
