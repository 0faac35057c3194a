#include "panel/paneldib.h"

#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QPainter>
#include <QtEndian>

#include <algorithm>

namespace {

const char* const kErrStorage = "could not allocate data storage\n";
const char* const kErrNotDib = "Error:Unexpected file type, not a DIB\n";
const char* const kErrOs2 = "Error:OS2 PM BMP Format not supported\n";
const char* const kErrFormat = "Error:Unsupported BMP layout\n";
const char* const kErrShort = "Error:BMP file ends early\n";

uint32_t le32(const uchar* p) { return qFromLittleEndian<uint32_t>(p); }
uint16_t le16(const uchar* p) { return qFromLittleEndian<uint16_t>(p); }

void put16(QByteArray& b, uint16_t v) {
    char c[2];
    qToLittleEndian(v, c);
    b.append(c, 2);
}
void put32(QByteArray& b, uint32_t v) {
    char c[4];
    qToLittleEndian(v, c);
    b.append(c, 4);
}

// The bits per pixel a BMP file's header gives, 0 for any other file.
int bmpBitCount(const QByteArray& head) {
    if (head.size() < 30 || !head.startsWith("BM"))
        return 0;
    const auto* p = reinterpret_cast<const uchar*>(head.constData());
    const uint32_t headerSize = le32(p + 14);
    if (headerSize == 12)
        return le16(p + 24);
    return headerSize >= 40 ? le16(p + 28) : 0;
}

} // namespace

bool PanelDib::sizeAcceptable(qint64 width, qint64 height, int bitCount) {
    return width > 0 && height > 0 && width <= kMaxSide && height <= kMaxSide &&
           qint64(rowBytes(int(width), bitCount)) * height <= kMaxRowBytes;
}

int PanelDib::maxHeight(int width, int bitCount) {
    if (width <= 0 || width > kMaxSide)
        return 0;
    return int(std::min<qint64>(kMaxSide, kMaxRowBytes / rowBytes(width, bitCount)));
}

PanelDib::~PanelDib() = default;

void PanelDib::clear() {
    m_loaded = false;
    m_header = DibHeader{};
    m_colors.clear();
    m_rows.clear();
    m_palette.clear();
    m_image = QImage();
}

void PanelDib::buildPalette() {
    m_palette.clear();
    if (m_header.bitCount > 8)
        return;
    for (uint32_t c : m_colors)
        m_palette.append(qRgb(int(c >> 16 & 0xFF), int(c >> 8 & 0xFF), int(c & 0xFF)));
}

bool PanelDib::fromImage(const QImage& source, int bitCount) {
    if (source.isNull() || !sizeAcceptable(source.width(), source.height(), 24)) {
        m_error = QString::fromLatin1(kErrStorage);
        return false;
    }
    int bits = 24;
    QImage img;
    const bool mono = source.format() == QImage::Format_Mono || source.format() == QImage::Format_MonoLSB;
    if (mono || source.format() == QImage::Format_Indexed8) {
        // The bitmap's own bit count, not the number of colours it happens to use.
        bits = bitCount == 1 || bitCount == 4 || bitCount == 8 ? bitCount : mono ? 1 : 8;
        img = source.convertToFormat(QImage::Format_Indexed8);
    } else {
        img = source.convertToFormat(QImage::Format_RGB888);
    }
    DibHeader h;
    h.width = img.width();
    h.height = img.height();
    h.bitCount = uint16_t(bits);
    const int stride = rowBytes(h.width, bits);
    h.sizeImage = uint32_t(stride * h.height);
    QByteArray rows(qsizetype(h.sizeImage), '\0');
    if (rows.size() != qsizetype(h.sizeImage)) {
        m_error = QString::fromLatin1(kErrStorage);
        return false;
    }
    QVector<uint32_t> colors;
    if (bits <= 8) {
        colors.resize(1 << bits);
        const QList<QRgb> table = img.colorTable();
        for (qsizetype i = 0; i < table.size() && i < colors.size(); ++i)
            colors[i] = table[i] & 0xFFFFFF;
    }
    for (int y = 0; y < h.height; ++y) {
        const uchar* src = img.constScanLine(h.height - 1 - y);
        uchar* dst = reinterpret_cast<uchar*>(rows.data()) + qsizetype(y) * stride;
        if (bits == 24) {
            for (int x = 0; x < h.width; ++x) {
                dst[3 * x] = src[3 * x + 2];
                dst[3 * x + 1] = src[3 * x + 1];
                dst[3 * x + 2] = src[3 * x];
            }
        } else {
            const int perByte = 8 / bits;
            for (int x = 0; x < h.width; ++x) {
                const int shift = 8 - bits * (x % perByte + 1);
                dst[x / perByte] |= uchar((src[x] & ((1 << bits) - 1)) << shift);
            }
        }
    }
    clear();
    m_header = h;
    m_colors = colors;
    m_rows = rows;
    m_loaded = true;
    buildPalette();
    m_bmpLayout = false;
    return true;
}

bool PanelDib::loadFile(const QString& path) {
    if (path.isEmpty() || !QFileInfo(path).isFile())
        return false;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const int fileBits = bmpBitCount(file.peek(30));
    QImageReader reader(&file);
    const QSize size = reader.size();
    if (size.isValid() && !sizeAcceptable(size.width(), size.height(), 24))
        return false;
    QImage img = reader.read();
    if (img.isNull())
        return false;
    return fromImage(img, fileBits);
}

bool PanelDib::loadResource(int id) {
    if (id != 1)
        return false;
    return loadFile(QStringLiteral(":/images/default-background.bmp"));
}

bool PanelDib::loadBmpFile(const QString& path) {
    if (!QFileInfo(path).isFile())
        return false;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return false;
    return readBmp(f);
}

bool PanelDib::readBmp(QIODevice& file) {
    clear();
    auto fail = [this](const char* text) {
        clear();
        m_error = QString::fromLatin1(text);
        return false;
    };
    const qint64 start = file.pos();
    const QByteArray fh = file.read(14);
    if (fh.size() < 14 || le16(reinterpret_cast<const uchar*>(fh.constData())) != 0x4D42)
        return fail(kErrNotDib);
    const QByteArray ih = file.read(40);
    if (ih.size() < 4)
        return fail(kErrNotDib);
    const auto* p = reinterpret_cast<const uchar*>(ih.constData());
    if (le32(p) != 40)
        return fail(kErrOs2);
    if (ih.size() < 40)
        return fail(kErrShort);
    DibHeader h;
    h.width = int32_t(le32(p + 4));
    h.height = int32_t(le32(p + 8));
    h.planes = le16(p + 12);
    h.bitCount = le16(p + 14);
    h.compression = le32(p + 16);
    h.sizeImage = le32(p + 20);
    h.xPelsPerMeter = int32_t(le32(p + 24));
    h.yPelsPerMeter = int32_t(le32(p + 28));
    h.clrUsed = le32(p + 32);
    h.clrImportant = le32(p + 36);
    const int bits = h.bitCount;
    if (h.compression != 0 || (bits != 1 && bits != 4 && bits != 8 && bits != 24 && bits != 32) ||
        (bits <= 8 && h.clrUsed > (1u << bits)) || (bits > 8 && h.clrUsed > 256))
        return fail(kErrFormat);
    if (!sizeAcceptable(h.width, h.height, bits))
        return fail(kErrStorage);
    const uint32_t pixelOffset = le32(reinterpret_cast<const uchar*>(fh.constData()) + 10);
    const int colors = bits <= 8 ? (h.clrUsed ? int(h.clrUsed) : 1 << bits) : 0;
    if (pixelOffset < 54u + uint32_t(colors) * 4)
        return fail(kErrFormat);
    const QByteArray table = file.read(qint64(colors) * 4);
    if (table.size() < colors * 4)
        return fail(kErrShort);
    QVector<uint32_t> colorTable(colors);
    for (int i = 0; i < colors; ++i)
        colorTable[i] = le32(reinterpret_cast<const uchar*>(table.constData()) + 4 * i) & 0xFFFFFF;
    // The rows the header describes, not what the file header claims: its sizes are not trusted.
    const qint64 need = qint64(rowBytes(h.width, bits)) * h.height;
    if (!file.seek(start + pixelOffset))
        return fail(kErrShort);
    QByteArray rows = file.read(need);
    if (rows.size() < need)
        return fail(kErrShort);
    m_header = h;
    m_header.sizeImage = uint32_t(need);
    m_colors = colorTable;
    m_rows = rows;
    m_loaded = true;
    buildPalette();
    m_bmpLayout = true;
    m_error.clear();
    return true;
}

bool PanelDib::saveBmpFile(const QString& path) const {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    return writeBmp(f);
}

bool PanelDib::writeBmp(QIODevice& file) const {
    if (!m_loaded)
        return false;
    const int colors = int(m_colors.size());
    const uint32_t rowsSize = uint32_t(rowBytes(m_header.width, m_header.bitCount)) * uint32_t(m_header.height);
    QByteArray out;
    out.append("BM", 2);
    put32(out, rowsSize + uint32_t(colors) * 4 + 40 + 14);
    put32(out, 0);
    put32(out, 40 + uint32_t(colors) * 4 + 14);
    put32(out, 40);
    put32(out, uint32_t(m_header.width));
    put32(out, uint32_t(m_header.height));
    put16(out, m_header.planes);
    put16(out, m_header.bitCount);
    put32(out, 0);
    put32(out, rowsSize);
    put32(out, uint32_t(m_header.xPelsPerMeter));
    put32(out, uint32_t(m_header.yPelsPerMeter));
    put32(out, m_header.clrUsed);
    put32(out, m_header.clrImportant);
    for (uint32_t c : m_colors)
        put32(out, c);
    // Rows are kept padded to 4 bytes whatever their origin, so they go out as they are.
    out.append(m_rows.left(rowsSize));
    return file.write(out) == out.size();
}

const QImage& PanelDib::image() const {
    if (!m_image.isNull() || !m_loaded)
        return m_image;
    const int w = m_header.width, h = m_header.height, bits = m_header.bitCount;
    const int stride = rowBytes(w, bits);
    const auto* rows = reinterpret_cast<const uchar*>(m_rows.constData());
    if (bits <= 8) {
        QImage img(w, h, QImage::Format_Indexed8);
        QVector<QRgb> table = m_palette;
        table.resize(1 << bits, qRgb(0, 0, 0));
        img.setColorTable(QList<QRgb>(table.begin(), table.end()));
        const int perByte = 8 / bits;
        for (int y = 0; y < h; ++y) {
            const uchar* src = rows + qsizetype(h - 1 - y) * stride;
            uchar* dst = img.scanLine(y);
            for (int x = 0; x < w; ++x)
                dst[x] = uchar(src[x / perByte] >> (8 - bits * (x % perByte + 1)) & ((1 << bits) - 1));
        }
        m_image = img;
    } else {
        QImage img(w, h, QImage::Format_RGB32);
        const int bpp = bits / 8;
        for (int y = 0; y < h; ++y) {
            const uchar* src = rows + qsizetype(h - 1 - y) * stride;
            auto* dst = reinterpret_cast<QRgb*>(img.scanLine(y));
            for (int x = 0; x < w; ++x)
                dst[x] = qRgb(src[bpp * x + 2], src[bpp * x + 1], src[bpp * x]);
        }
        m_image = img;
    }
    return m_image;
}

void PanelDib::drawStretched(QPainter& p, int x, int y, int width, int height) const {
    if (!m_loaded || width <= 0 || height <= 0)
        return;
    p.drawImage(QRect(x, y, width, height), image());
}

void PanelDib::drawAt(QPainter& p, int x, int y) const {
    drawStretched(p, x, y, width(), height());
}

void PanelDib::drawRect(QPainter& p, const QRect& destination, const QRect& source) const {
    if (!m_loaded)
        return;
    p.drawImage(destination.topLeft(), image(), source);
}
