// whole_file_write_probe PATH TEXT: writes TEXT as the whole content of PATH
// with WriteWholeFile and exits with its result (0 written, 1 not created,
// 2 not written). The tests run it as another user.
//
// whole_file_write_probe --alternate PATH SIZE: writes PATH over and over,
// SIZE bytes of 'a', then of 'b', and so on, until it is killed; it prints
// "ready" once the first file is complete. The tests kill it at random
// moments.

#include "platform/WholeFileWrite.h"

#include <QByteArray>
#include <QString>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    if (argc == 4 && QByteArray(argv[1]) == "--alternate") {
        const QString path = QString::fromLocal8Bit(argv[2]);
        const QByteArray contents[2] = {QByteArray(std::atoi(argv[3]), 'a'), QByteArray(std::atoi(argv[3]), 'b')};
        for (unsigned long round = 0;; ++round) {
            if (WriteWholeFile(path, contents[round % 2]) != FileWriteResult::Written)
                return 2;
            if (round == 0) {
                std::puts("ready");
                std::fflush(stdout);
            }
        }
    }
    if (argc != 3)
        return 64;
    const QByteArray text(argv[2]);
    return static_cast<int>(WriteWholeFile(QString::fromLocal8Bit(argv[1]), text));
}
