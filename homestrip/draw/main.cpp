// homestrip-banner OUT.tdy: draws the Today banner's picture (a 240 x 36 bitmap).
#include <QGuiApplication>
#include <iostream>

#include "homestrip/draw/banner_art.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: homestrip-banner OUT.tdy\n";
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (!kvo::today::DrawBanner().save(QString::fromLocal8Bit(argv[1]), "BMP")) {
        std::cerr << "homestrip-banner: cannot write " << argv[1] << "\n";
        return 1;
    }
    return 0;
}
