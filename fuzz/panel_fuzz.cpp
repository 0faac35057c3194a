// Fuzz targets for the panel: the description reader, the BMP reader, and the loader with the
// model it fills. Built three times by fuzz/run: PANEL_FUZZ_BMP for the BMP reader,
// PANEL_FUZZ_LOADER for the loader.
#include "panel/paneldib.h"
#include "panel/sectionreader.h"

#include <QBuffer>
#include <QImage>
#include <QPainter>

#include <cstddef>
#include <cstdint>

#ifdef PANEL_FUZZ_LOADER
#include "panel/panelloader.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QTemporaryDir>

#include <cstdlib>

#include <sys/stat.h>
#include <unistd.h>

namespace {

// The window as the loader sees it: a client area as large as the file asks for.
class Site : public PanelSite {
public:
    void placePanel(int, int, int width, int height) override { client = QSize(width, height); }
    QSize panelClientSize() const override { return client; }
    QWidget* panelOwner() override { return nullptr; }
    QSize client{700, 140};
};

QTemporaryDir* g_dir;

// Pictures an input may name: small ones, and what must never be opened as one (a FIFO, a
// device, a directory).
void preparePictures() {
    QImage small(12, 6, QImage::Format_Indexed8);
    small.setColorTable({qRgb(0, 0, 0), qRgb(255, 0, 0), qRgb(0, 255, 0), qRgb(0, 0, 255)});
    small.fill(2);
    small.save(g_dir->filePath("p.bmp"), "BMP");
    QImage bg(40, 20, QImage::Format_RGB32);
    bg.fill(Qt::gray);
    bg.save(g_dir->filePath("bg.bmp"), "BMP");
    ::mkfifo(QFile::encodeName(g_dir->filePath("fifo.bmp")).constData(), 0600);
    ::symlink("/dev/zero", QFile::encodeName(g_dir->filePath("zero.bmp")).constData());
    QDir(g_dir->path()).mkdir("dir.bmp");
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    new QGuiApplication(*argc, *argv);
    g_dir = new QTemporaryDir;
    preparePictures();
    return 0;
}
#endif

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
#if defined(PANEL_FUZZ_BMP)
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    PanelDib dib;
    if (dib.readBmp(buffer) && qint64(dib.width()) * dib.height() <= 1 << 20) {
        // Drawing unpacks every row through the palette.
        QImage target(16, 16, QImage::Format_RGB32);
        QPainter p(&target);
        dib.drawStretched(p, 0, 0, 16, 16);
        dib.drawRect(p, QRect(0, 0, 8, 8), QRect(0, 0, 8, 8));
        QBuffer out;
        out.open(QIODevice::WriteOnly);
        dib.writeBmp(out);
    }
#elif defined(PANEL_FUZZ_LOADER)
    const QString file = g_dir->filePath("Talvex.properties");
    QFile f(file);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return 0;
    f.write(bytes);
    f.close();
    PanelModel model;
    Site site;
    LoadPanel(file, model, site);
    int changes = 0;
    model.invalidate = [&](const QRect&) { ++changes; };
    for (int k = -1; k <= 12; ++k) {
        model.replaceModule(k, (k + 3) % 14);
        model.setPortState(k, 1, k & 3);
    }
    model.refresh();
    model.pollingFailureReset();
    model.refresh();
    // The window at its reference size would be as large as the file asks: paint a few small
    // ones, which scale every coordinate of the file.
    for (QSize s : {QSize(33, 17), QSize(1, 1), QSize(64, 300)}) {
        QImage target(s, QImage::Format_RGB32);
        QPainter p(&target);
        model.setClientSize(s);
        model.paint(p);
        for (QPoint pt : {QPoint(0, 0), QPoint(s.width() / 2, s.height() / 2), QPoint(INT32_MAX, INT32_MIN)})
            (void)model.hitTest(pt);
    }
#else
    PanelFile file;
    file.parse(bytes);
    for (const char* name : {"Panel", "Panel1", "Module", "Module2", "M2Port1", "Slot"}) {
        const PanelSection s = file.section(QString::fromLatin1(name));
        for (auto object = s.begin(); object != s.end(); ++object)
            for (const QString& value : *object)
                (void)PanelNumber(value);
    }
#endif
    return 0;
}
