// What make_corpus.sh needs of Qt: FILE as Qt's reader shows it, written to PNG: turned as the file says, its first
// frame or page, of an icon the largest image.
//
// usage: corpus_reference FILE PNG

#include <QCoreApplication>
#include <QImage>
#include <QImageReader>

int main(int argc, char* argv[])
{
    const QCoreApplication application(argc, argv);
    if (argc != 3)
        return 2;
    QImageReader reader(QString::fromLocal8Bit(argv[1]));
    reader.setAutoTransform(true);
    if (reader.format() == "ico" || reader.format() == "cur") {
        int largest = 0;
        for (int i = 0, width = 0; i < reader.imageCount() && reader.jumpToImage(i); ++i)
            if (reader.size().width() > width)
                largest = i, width = reader.size().width();
        reader.jumpToImage(largest);
    }
    const QImage shown = reader.read();
    return !shown.isNull() && shown.save(QString::fromLocal8Bit(argv[2]), "png") ? 0 : 1;
}
