// Reference: a bare Qt window of the same size, shown at once.
#include <QApplication>
#include <QWidget>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QWidget window;
    window.setFixedSize(536, 163);
    window.show();
    return app.exec();
}
