#include "app/FrmQuarvex.h"
#include "io/TextFile.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    quarvex::failWritesPastFileSizeLimit();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quarvex"));
    quarvex::FrmQuarvex window;
    window.show();
    return QApplication::exec();
}
