#include "app/FrmQuarvex.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quarvex"));
    quarvex::FrmQuarvex window;
    window.show();
    return QApplication::exec();
}
