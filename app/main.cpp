#include <QApplication>
#include <QMainWindow>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tavrin"));
    QMainWindow window;
    window.setWindowTitle(QStringLiteral("Tavrin"));
    window.resize(1024, 700);
    window.show();
    return app.exec();
}
