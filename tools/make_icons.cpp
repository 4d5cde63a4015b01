// Writes the program's icon as PNG files of the hicolor sizes into
// OUTPUT_DIR/<N>x<N>/apps/io.varnesk.Varnesk.png, drawn by drawProductPicture.
#include "app/product_picture.h"

#include <QDir>
#include <QImage>

#include <cstdio>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: make-icons OUTPUT_DIR\n");
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        const QString folder = QStringLiteral("%1x%1/apps").arg(size);
        if (!out.mkpath(folder)
            || !varnesk::drawProductPicture(size).save(out.filePath(folder + QStringLiteral("/io.varnesk.Varnesk.png")),
                                                       "PNG")) {
            std::fprintf(stderr, "make-icons: cannot write the %d pixel icon\n", size);
            return 1;
        }
    }
    return 0;
}
