// Fuzz targets for the panel description reader and the BMP reader: built twice by fuzz/run,
// with PANEL_FUZZ_BMP for the second.
#include "panel/paneldib.h"
#include "panel/sectionreader.h"

#include <QBuffer>
#include <QImage>
#include <QPainter>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
#ifdef PANEL_FUZZ_BMP
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
