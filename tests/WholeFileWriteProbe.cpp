// whole_file_write_probe PATH TEXT: writes TEXT as the whole content of PATH
// with WriteWholeFile and exits with its result (0 written, 1 not created,
// 2 not written). The tests run it as another user.

#include "platform/WholeFileWrite.h"

#include <QByteArray>
#include <QString>

int main(int argc, char** argv) {
    if (argc != 3)
        return 64;
    const QByteArray text(argv[2]);
    return static_cast<int>(WriteWholeFile(QString::fromLocal8Bit(argv[1]), text));
}
