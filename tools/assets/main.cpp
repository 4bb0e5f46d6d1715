// Makes the program's pictures from their sources in the repository.
//
//   assets cursor SOURCE.txt OUT.CUR      a Windows cursor (32-bit image, AND mask, hotspot)
//   assets icon SOURCE.svg OUTDIR NAME    NAME-32.png (24 bits), NAME-48/128/256.png (32 bits)
//                                         and NAME.ico holding all four

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSaveFile>
#include <QSvgRenderer>
#include <QtEndian>
#include <cstdio>
#include <stdexcept>

namespace {

void put16(QByteArray& out, quint16 v)
{
    char b[2];
    qToLittleEndian(v, b);
    out.append(b, 2);
}

void put32(QByteArray& out, quint32 v)
{
    char b[4];
    qToLittleEndian(v, b);
    out.append(b, 4);
}

void save(const QString& path, const QByteArray& data)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(data) != data.size() || !file.commit())
        throw std::runtime_error(("cannot write " + path).toStdString());
}

// A bottom-up DIB of 24 or 32 bits followed by its 1-bit AND mask, as icons and cursors hold
// them.
QByteArray dibOf(const QImage& source, int bits)
{
    const QImage image = source.convertToFormat(QImage::Format_ARGB32);
    const int w = image.width(), h = image.height();
    QByteArray out;
    put32(out, 40);
    put32(out, quint32(w));
    put32(out, quint32(h * 2));
    put16(out, 1);
    put16(out, quint16(bits));
    put32(out, 0);
    put32(out, 0);
    put32(out, 0);
    put32(out, 0);
    put32(out, 0);
    put32(out, 0);
    for (int y = h - 1; y >= 0; --y) {
        QByteArray row;
        for (int x = 0; x < w; ++x) {
            const QRgb p = image.pixel(x, y);
            row.append(char(qBlue(p))).append(char(qGreen(p))).append(char(qRed(p)));
            if (bits == 32)
                row.append(char(qAlpha(p)));
        }
        row.append(QByteArray((4 - row.size() % 4) % 4, '\0'));
        out.append(row);
    }
    const int maskStride = ((w + 31) / 32) * 4;
    for (int y = h - 1; y >= 0; --y) {
        QByteArray row(maskStride, '\0');
        for (int x = 0; x < w; ++x)
            if (qAlpha(image.pixel(x, y)) == 0)
                row[x / 8] = char(row[x / 8] | (0x80 >> (x % 8)));
        out.append(row);
    }
    return out;
}

// Icon or cursor directory: type 1 (icon) or 2 (cursor; planes and bit count hold the hotspot).
QByteArray directory(quint16 type, const QList<QImage>& images, const QList<QByteArray>& data,
                     QPoint hotspot = {})
{
    QByteArray out;
    put16(out, 0);
    put16(out, type);
    put16(out, quint16(images.size()));
    quint32 offset = 6 + 16 * quint32(images.size());
    for (int i = 0; i < images.size(); ++i) {
        out.append(char(images[i].width() >= 256 ? 0 : images[i].width()));
        out.append(char(images[i].height() >= 256 ? 0 : images[i].height()));
        out.append(char(0));
        out.append(char(0));
        put16(out, type == 2 ? quint16(hotspot.x()) : 1);
        put16(out,
              type == 2 ? quint16(hotspot.y()) : quint16(images[i].hasAlphaChannel() ? 32 : 24));
        put32(out, quint32(data[i].size()));
        put32(out, offset);
        offset += quint32(data[i].size());
    }
    for (const QByteArray& d : data)
        out.append(d);
    return out;
}

void makeCursor(const QString& sourcePath, const QString& outPath)
{
    QFile source(sourcePath);
    if (!source.open(QIODevice::ReadOnly | QIODevice::Text))
        throw std::runtime_error(("cannot read " + sourcePath).toStdString());
    QImage image(32, 32, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPoint hotspot;
    int y = 0;
    while (!source.atEnd()) {
        const QString line = QString::fromUtf8(source.readLine()).trimmed();
        if (line.isEmpty() || line.startsWith("# "))
            continue;
        if (line.startsWith("hotspot ")) {
            const QStringList parts = line.split(' ');
            hotspot = QPoint(parts.value(1).toInt(), parts.value(2).toInt());
            continue;
        }
        for (int x = 0; x < qMin(32, int(line.size())) && y < 32; ++x) {
            if (line[x] == '#')
                image.setPixel(x, y, qRgba(0, 0, 0, 255));
            else if (line[x] == 'o')
                image.setPixel(x, y, qRgba(255, 255, 255, 255));
        }
        ++y;
    }
    save(outPath, directory(2, {image}, {dibOf(image, 32)}, hotspot));
}

void makeIcon(const QString& sourcePath, const QString& outDir, const QString& name)
{
    QSvgRenderer svg(sourcePath);
    if (!svg.isValid())
        throw std::runtime_error(("cannot read " + sourcePath).toStdString());
    QDir().mkpath(outDir);
    QList<QImage> images;
    QList<QByteArray> data;
    for (int size : {256, 128, 48, 32}) {
        QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        svg.render(&painter);
        painter.end();
        // The smallest image is 24 bits: flattened onto white.
        if (size == 32) {
            QImage flat(size, size, QImage::Format_RGB888);
            flat.fill(Qt::white);
            QPainter onto(&flat);
            onto.drawImage(0, 0, image);
            onto.end();
            image = flat;
        } else {
            image = image.convertToFormat(QImage::Format_ARGB32);
        }
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        image.save(&buffer, "PNG");
        save(QDir(outDir).filePath(QString("%1-%2.png").arg(name).arg(size)), png);
        images.append(image);
        // Large images go in as PNG, small ones as DIB, as Windows expects.
        data.append(size >= 256 ? png : dibOf(image, image.hasAlphaChannel() ? 32 : 24));
    }
    save(QDir(outDir).filePath(name + ".ico"), directory(1, images, data));
}

} // namespace

int main(int argc, char* argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    try {
        if (args.size() == 3 && args[0] == "cursor")
            makeCursor(args[1], args[2]);
        else if (args.size() == 4 && args[0] == "icon")
            makeIcon(args[1], args[2], args[3]);
        else
            throw std::runtime_error(
                "usage: assets cursor SOURCE OUT | assets icon SOURCE OUTDIR NAME");
    } catch (const std::exception& e) {
        std::fprintf(stderr, "assets: %s\n", e.what());
        return 2;
    }
    return 0;
}
