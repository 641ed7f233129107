// Writes the fuzzer's starting corpus: small copies of every variant the loader test checks (and the pictures they
// are made from), so fuzzing starts inside each decoder rather than at the format check.
//
// usage: fuzz_seeds FOLDER

#include "photo_corpus.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char* argv[])
{
    const QCoreApplication application(argc, argv);
    if (argc != 2) {
        std::fputs("usage: fuzz_seeds FOLDER\n", stderr);
        return 2;
    }
    const QDir folder(QString::fromLocal8Bit(argv[1]));
    QString error;
    if (!folder.mkpath(QStringLiteral(".")) || corpus::write(folder, QSize(48, 32), &error).empty()) {
        std::fprintf(stderr, "fuzz_seeds: %s\n", qPrintable(error));
        return 1;
    }
    return 0;
}
