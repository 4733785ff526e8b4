#include <QApplication>

#include "app/CChargerApp.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    CChargerApp theApp;
    return theApp.InitInstance();
}
