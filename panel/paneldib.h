// A device-independent bitmap: the 40-byte information header with its colour table, the
// pixel rows bottom-up and padded to 4 bytes, and a palette for 8 bits per pixel or fewer.
// Every picture of the front panel is one.
#pragma once

#include <QByteArray>
#include <QImage>
#include <QRect>
#include <QString>
#include <QVector>

#include <cstdint>

class QIODevice;
class QPainter;

struct DibHeader {
    uint32_t size = 40;
    int32_t width = 0;
    int32_t height = 0;
    uint16_t planes = 1;
    uint16_t bitCount = 0;
    uint32_t compression = 0;
    uint32_t sizeImage = 0;
    int32_t xPelsPerMeter = 0;
    int32_t yPelsPerMeter = 0;
    uint32_t clrUsed = 0;
    uint32_t clrImportant = 0;
};

class PanelDib {
public:
    PanelDib() = default;
    PanelDib(const PanelDib&) = delete;
    PanelDib& operator=(const PanelDib&) = delete;
    virtual ~PanelDib();

    // Draws source (top-down picture coordinates) 1:1 at destination's top-left corner.
    virtual void drawRect(QPainter& p, const QRect& destination, const QRect& source) const;
    virtual void drawStretched(QPainter& p, int x, int y, int width, int height) const;
    virtual void drawAt(QPainter& p, int x, int y) const;
    virtual bool loadBmpFile(const QString& path);
    // Reads a Windows BMP file (information header of 40 bytes, uncompressed, 1, 4, 8, 24 or 32
    // bits per pixel, bottom-up) from its current position. On failure the picture is empty
    // and lastError() says why.
    virtual bool readBmp(QIODevice& file);
    virtual bool saveBmpFile(const QString& path) const;
    virtual bool writeBmp(QIODevice& file) const;

    // The built-in picture id (only the default background, 1): a load failure keeps the picture.
    bool loadResource(int id);
    // Any picture Qt's image readers know in a regular file (nothing else is opened: a FIFO
    // would block for ever), keeping the file's own bit count of 1, 4 or 8 bits per pixel and
    // converting deeper ones to 24. A failure keeps the previous picture.
    bool loadFile(const QString& path);
    // Takes over an image as a platform bitmap handle would be converted: bitCount 1, 4 or 8
    // keeps that many bits per pixel for an indexed image; 0 takes the image's own depth.
    bool fromImage(const QImage& image, int bitCount = 0);

    bool isLoaded() const { return m_loaded; }
    int width() const { return m_header.width; }
    int height() const { return m_header.height; }
    int bitCount() const { return m_header.bitCount; }
    const DibHeader& header() const { return m_header; }
    const QVector<uint32_t>& colorTable() const { return m_colors; } // 0x00RRGGBB entries
    const QByteArray& rows() const { return m_rows; }
    // The palette, for 8 bits per pixel or fewer; empty otherwise.
    const QVector<QRgb>& palette() const { return m_palette; }
    bool rowsFromBmpFile() const { return m_bmpLayout; }
    QString lastError() const { return m_error; }

    static int rowBytes(int width, int bitCount) { return int(((int64_t(width) * bitCount + 31) / 32) * 4); }
    // The largest picture accepted, in pixels per side and bytes of rows.
    static constexpr int kMaxSide = 16384;
    static constexpr qint64 kMaxRowBytes = 256ll * 1024 * 1024;
    static bool sizeAcceptable(qint64 width, qint64 height, int bitCount);
    // The tallest picture of width pixels at bitCount that is still accepted (0 for none).
    static int maxHeight(int width, int bitCount);

private:
    void clear();
    void buildPalette();
    const QImage& image() const; // the rows as an image, built on first draw

    bool m_loaded = false;
    DibHeader m_header;
    QVector<uint32_t> m_colors;
    QByteArray m_rows;
    QVector<QRgb> m_palette;
    bool m_bmpLayout = false;
    QString m_error;
    mutable QImage m_image;
};
