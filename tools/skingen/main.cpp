// rovixskingen OUTDIR [--sheet PREFIX]
// Draws every image of the four skins ("skin_01_" .. "skin_04_", each base name
// in its four states) and the application's own images into OUTDIR, and writes
// OUTDIR/rovix_images.qrc listing them under the prefix "/images". With
// --sheet it also renders PREFIX_skin_0N.png contact sheets: each skin assembled into a mock of
// the main window's strips, for a visual check.
#include "ContactSheet.h"
#include "Items.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QSaveFile>
#include <QTextStream>
#include <cstdio>

namespace
{

QImage render(QSize size, const std::function<void(QPainter&)>& draw, bool opaque)
{
    QImage img(size, opaque ? QImage::Format_RGB32 : QImage::Format_ARGB32_Premultiplied);
    img.fill(opaque ? Qt::black : Qt::transparent);
    QPainter p(&img);
    draw(p);
    p.end();
    return img;
}

QString xmlEscape(QString s)
{
    return s.replace('&', "&amp;").replace('<', "&lt;").replace('>', "&gt;");
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 2) {
        std::fprintf(stderr, "usage: rovixskingen OUTDIR [--sheet PREFIX]\n");
        return 2;
    }
    const QString outDir = args.at(1);
    QString sheetPath;
    const int sheetIndex = args.indexOf(QStringLiteral("--sheet"));
    if (sheetIndex > 0 && sheetIndex + 1 < args.size())
        sheetPath = args.at(sheetIndex + 1);
    if (!QDir().mkpath(outDir)) {
        std::fprintf(stderr, "rovixskingen: cannot create %s\n", qPrintable(outDir));
        return 1;
    }
    QDir dir(outDir);
    QStringList written;
    QCryptographicHash digest(QCryptographicHash::Sha256);
    auto save = [&](const QString& name, const QImage& img) {
        const QString path = dir.filePath(name);
        const char* format = name.endsWith(QLatin1String(".bmp")) ? "BMP" : "PNG";
        QSaveFile file(path);
        if (!file.open(QIODevice::WriteOnly) || !img.save(&file, format) || !file.commit()) {
            std::fprintf(stderr, "rovixskingen: cannot write %s\n", qPrintable(path));
            return false;
        }
        QFile back(path);
        if (back.open(QIODevice::ReadOnly)) {
            digest.addData(name.toUtf8());
            digest.addData(back.readAll());
        }
        written << name;
        return true;
    };

    const std::vector<SkinItem> items = skinItems();
    for (int skin = 0; skin < 4; ++skin) {
        const Palette pal = paletteFor(skin);
        for (const SkinItem& item : items) {
            for (St st : {N, D, F, G}) {
                const bool opaque = item.ext == QLatin1String("bmp");
                QImage img = render(
                    item.size, [&](QPainter& p) { item.draw(p, pal, st); }, opaque);
                if (!save(skinFileName(skin, item, st), img))
                    return 1;
            }
        }
    }
    for (const AppItem& item : appItems()) {
        if (!save(item.fileName, render(item.size, item.draw, false)))
            return 1;
    }

    QSaveFile qrc(dir.filePath(QStringLiteral("rovix_images.qrc")));
    if (!qrc.open(QIODevice::WriteOnly | QIODevice::Text))
        return 1;
    QTextStream out(&qrc);
    out << "<!DOCTYPE RCC>\n<RCC version=\"1.0\">\n<qresource prefix=\"/images\">\n";
    for (const QString& name : written)
        out << "  <file>" << xmlEscape(name) << "</file>\n";
    out << "</qresource>\n</RCC>\n";
    out.flush();
    if (!qrc.commit())
        return 1;

    // A header that changes with the images, so that a compiler cache never
    // reuses an object that embeds an older image bundle.
    QSaveFile header(dir.filePath(QStringLiteral("rovix_images_hash.h")));
    if (!header.open(QIODevice::WriteOnly | QIODevice::Text))
        return 1;
    header.write("#pragma once\n#define ROVIX_IMAGES_HASH \"" + digest.result().toHex() + "\"\n");
    if (!header.commit())
        return 1;

    if (!sheetPath.isEmpty()) {
        for (int skin = 0; skin < 4; ++skin) {
            const QString path =
                QStringLiteral("%1_skin_%2.png").arg(sheetPath).arg(skin + 1, 2, 10, QLatin1Char('0'));
            if (!renderContactSheet(outDir, skin).save(path)) {
                std::fprintf(stderr, "rovixskingen: cannot write %s\n", qPrintable(path));
                return 1;
            }
        }
    }
    std::printf("rovixskingen: %lld images in %s\n", static_cast<long long>(written.size()),
                qPrintable(outDir));
    return 0;
}
