#include "shell/WidgetDialogService.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    WidgetDialogService service;
    setDialogService(&service);
    return 0;
}
