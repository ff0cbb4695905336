#include "app/qt/CorvidApp.h"

int main(int argc, char** argv) {
    corvid::CCorvidApp app;
    return app.Run(argc, argv);
}
