// Draws the program's eleven pictures into the folder given as the only
// argument (the committed files in resources/ were made with it):
//
//   build/resources/generator/draw_pictures resources
//
// Everything is drawn here with QPainter from plain shapes and text; the GIF
// is written by the small encoder below, since Qt reads GIF but cannot write it.

#include <cmath>
#include <cstdio>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

namespace {

QImage canvas(int w, int h) {
    QImage image(w, h, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

void text(QPainter& p, const QRectF& box, const QString& s, int pixelSize, const QColor& color, bool bold = true) {
    QFont font("DejaVu Sans");
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    p.setFont(font);
    p.setPen(color);
    p.drawText(box, Qt::AlignCenter, s);
}

// A computer with a grey case, a screen and a stand: the Mac icon.
QImage drawMac() {
    QImage img = canvas(32, 32);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient body(0, 2, 0, 26);
    body.setColorAt(0, QColor(236, 238, 241));
    body.setColorAt(1, QColor(176, 181, 189));
    p.setPen(QPen(QColor(110, 116, 125), 1));
    p.setBrush(body);
    p.drawRoundedRect(QRectF(3.5, 2.5, 25, 21), 3, 3);
    p.setBrush(QColor(58, 96, 160));
    p.drawRect(QRectF(6.5, 5.5, 19, 13));
    text(p, QRectF(6, 5, 20, 14), "Mac", 8, Qt::white);
    p.setBrush(QColor(150, 155, 163));
    p.drawRect(QRectF(13.5, 23.5, 5, 4));
    p.drawRoundedRect(QRectF(9.5, 27.5, 13, 2.5), 1, 1);
    return img;
}

// A blue application window with a title bar: the Windows icon.
QImage drawWindows() {
    QImage img = canvas(32, 32);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(20, 60, 120), 1));
    p.setBrush(QColor(240, 244, 250));
    p.drawRect(QRectF(2.5, 4.5, 27, 23));
    p.setBrush(QColor(40, 110, 200));
    p.drawRect(QRectF(2.5, 4.5, 27, 6));
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawRect(QRectF(24, 6, 3, 3));
    text(p, QRectF(3, 11, 26, 16), "Win", 9, QColor(30, 80, 160));
    return img;
}

// A dark terminal with a prompt: the Linux icon.
QImage drawLinux() {
    QImage img = canvas(32, 32);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(20, 20, 20), 1));
    p.setBrush(QColor(45, 45, 48));
    p.drawRoundedRect(QRectF(2.5, 4.5, 27, 23), 3, 3);
    QFont font("DejaVu Sans Mono");
    font.setPixelSize(11);
    font.setBold(true);
    p.setFont(font);
    p.setPen(QColor(120, 220, 90));
    p.drawText(QRectF(5, 7, 24, 12), Qt::AlignLeft | Qt::AlignVCenter, ">_");
    text(p, QRectF(3, 18, 26, 9), "Linux", 7, QColor(235, 200, 60));
    return img;
}

// A sheet with a folded corner, table lines and "CSV".
QImage drawCsv() {
    QImage img = canvas(32, 32);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath sheet;
    sheet.moveTo(5.5, 1.5);
    sheet.lineTo(21.5, 1.5);
    sheet.lineTo(27.5, 7.5);
    sheet.lineTo(27.5, 30.5);
    sheet.lineTo(5.5, 30.5);
    sheet.closeSubpath();
    p.setPen(QPen(QColor(90, 110, 90), 1));
    p.setBrush(Qt::white);
    p.drawPath(sheet);
    p.setBrush(QColor(215, 225, 215));
    QPainterPath fold;
    fold.moveTo(21.5, 1.5);
    fold.lineTo(21.5, 7.5);
    fold.lineTo(27.5, 7.5);
    fold.closeSubpath();
    p.drawPath(fold);
    p.setPen(QPen(QColor(150, 190, 150), 1));
    for (double y = 20.5; y < 30; y += 3) p.drawLine(QPointF(8, y), QPointF(25, y));
    p.drawLine(QPointF(14.5, 19), QPointF(14.5, 29));
    p.drawLine(QPointF(20.5, 19), QPointF(20.5, 29));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(30, 130, 60));
    p.drawRoundedRect(QRectF(3, 9, 22, 9), 2, 2);
    text(p, QRectF(3, 9, 22, 9), "CSV", 8, Qt::white);
    return img;
}

// The Brevolan emblem: a green badge with a white "B" and three leaves.
QImage drawBrevolan() {
    QImage img = canvas(32, 32);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    QRadialGradient g(12, 10, 22);
    g.setColorAt(0, QColor(120, 200, 110));
    g.setColorAt(1, QColor(30, 120, 50));
    p.setPen(QPen(QColor(20, 80, 35), 1));
    p.setBrush(g);
    p.drawEllipse(QRectF(1.5, 1.5, 29, 29));
    text(p, QRectF(2, 3, 28, 24), "B", 18, Qt::white);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(250, 240, 170));
    for (int i = 0; i < 3; ++i) p.drawEllipse(QRectF(9 + i * 5, 25, 4, 3));
    return img;
}

// A grey gear: the picture of the progress window.
QImage drawSettings() {
    QImage img = canvas(32, 32);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    const QPointF c(16, 16);
    QPainterPath gear;
    const int teeth = 8;
    for (int i = 0; i < teeth * 4; ++i) {
        const double a = (i / double(teeth * 4)) * 2 * M_PI;
        const double r = (i % 4 == 0 || i % 4 == 1) ? 14.5 : 11.0;
        const QPointF pt(c.x() + r * std::cos(a), c.y() + r * std::sin(a));
        if (i == 0)
            gear.moveTo(pt);
        else
            gear.lineTo(pt);
    }
    gear.closeSubpath();
    gear.addEllipse(c, 4.5, 4.5);
    gear.setFillRule(Qt::OddEvenFill);
    QLinearGradient metal(0, 0, 32, 32);
    metal.setColorAt(0, QColor(200, 205, 212));
    metal.setColorAt(1, QColor(105, 112, 122));
    p.setPen(QPen(QColor(70, 75, 85), 1));
    p.setBrush(metal);
    p.drawPath(gear);
    return img;
}

// A bold arrow pointing right, from the source to the target format.
QImage drawArrow() {
    QImage img = canvas(32, 32);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath arrow;
    arrow.moveTo(3, 12);
    arrow.lineTo(17, 12);
    arrow.lineTo(17, 5);
    arrow.lineTo(29, 16);
    arrow.lineTo(17, 27);
    arrow.lineTo(17, 20);
    arrow.lineTo(3, 20);
    arrow.closeSubpath();
    QLinearGradient g(0, 5, 0, 27);
    g.setColorAt(0, QColor(90, 150, 230));
    g.setColorAt(1, QColor(30, 80, 170));
    p.setPen(QPen(QColor(20, 55, 120), 1));
    p.setBrush(g);
    p.drawPath(arrow);
    return img;
}

// A round badge with one letter, for the menu icons.
QImage drawBadge(const QColor& color, const QString& letter) {
    QImage img = canvas(16, 16);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(color.darker(140), 1));
    p.setBrush(color);
    p.drawEllipse(QRectF(0.5, 0.5, 15, 15));
    text(p, QRectF(0, 0, 16, 16), letter, 11, Qt::white);
    return img;
}

// An open door with an arrow leaving it: the Quit icon.
QImage drawExit() {
    QImage img = canvas(16, 16);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(90, 60, 30), 1));
    p.setBrush(QColor(170, 120, 70));
    p.drawRect(QRectF(1.5, 1.5, 8, 13));
    p.setBrush(QColor(240, 220, 160));
    p.drawEllipse(QRectF(6.5, 8, 1.8, 1.8));
    QPainterPath arrow;
    arrow.moveTo(8, 7);
    arrow.lineTo(11, 7);
    arrow.lineTo(11, 4.5);
    arrow.lineTo(15.5, 8.5);
    arrow.lineTo(11, 12.5);
    arrow.lineTo(11, 10);
    arrow.lineTo(8, 10);
    arrow.closeSubpath();
    p.setPen(QPen(QColor(140, 20, 20), 1));
    p.setBrush(QColor(220, 50, 40));
    p.drawPath(arrow);
    return img;
}

// The splash picture: a grey elephant on a soft blue ground.
QImage drawElephant() {
    const int w = 243, h = 251;
    QImage img(w, h, QImage::Format_ARGB32_Premultiplied);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, 0, h);
    sky.setColorAt(0, QColor(219, 231, 242));
    sky.setColorAt(1, QColor(180, 205, 228));
    p.fillRect(0, 0, w, h, sky);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(160, 190, 140));
    p.drawEllipse(QRectF(-40, 205, 330, 90));

    const QColor skin(128, 132, 142), dark(92, 96, 106), light(160, 164, 174);
    p.setPen(QPen(dark, 2));
    p.setBrush(skin);
    // Legs behind the body.
    p.drawRoundedRect(QRectF(70, 150, 28, 70), 8, 8);
    p.drawRoundedRect(QRectF(160, 150, 28, 68), 8, 8);
    // Body.
    p.drawEllipse(QRectF(60, 80, 150, 110));
    // Front legs.
    p.drawRoundedRect(QRectF(95, 160, 30, 66), 8, 8);
    p.drawRoundedRect(QRectF(178, 158, 30, 66), 8, 8);
    // Tail.
    QPainterPath tail;
    tail.moveTo(205, 120);
    tail.cubicTo(225, 130, 225, 160, 218, 175);
    p.setBrush(Qt::NoBrush);
    p.drawPath(tail);
    p.setBrush(skin);
    // Trunk.
    QPainterPath trunk;
    trunk.moveTo(48, 110);
    trunk.cubicTo(30, 150, 28, 185, 38, 205);
    trunk.lineTo(52, 203);
    trunk.cubicTo(46, 185, 50, 155, 72, 125);
    trunk.closeSubpath();
    p.drawPath(trunk);
    // Head.
    p.drawEllipse(QRectF(30, 55, 80, 80));
    // Ear.
    QPainterPath ear;
    ear.moveTo(80, 62);
    ear.cubicTo(120, 40, 140, 80, 130, 115);
    ear.cubicTo(120, 140, 95, 135, 85, 120);
    ear.closeSubpath();
    p.setBrush(light);
    p.drawPath(ear);
    // Tusk.
    QPainterPath tusk;
    tusk.moveTo(50, 118);
    tusk.cubicTo(35, 130, 28, 135, 22, 132);
    tusk.cubicTo(30, 126, 40, 118, 46, 110);
    tusk.closeSubpath();
    p.setPen(QPen(QColor(190, 180, 150), 1));
    p.setBrush(QColor(250, 245, 228));
    p.drawPath(tusk);
    // Eye.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(30, 30, 35));
    p.drawEllipse(QRectF(58, 82, 7, 8));
    p.setBrush(Qt::white);
    p.drawEllipse(QRectF(60, 83, 2.5, 2.5));
    return img;
}

// ---- a small GIF writer: one image, a palette and one transparent colour ----

class BitWriter {
public:
    void put(unsigned code, int bits) {
        acc_ |= uint64_t(code) << used_;
        used_ += bits;
        while (used_ >= 8) {
            bytes.push_back(uint8_t(acc_ & 0xFF));
            acc_ >>= 8;
            used_ -= 8;
        }
    }
    void flush() {
        if (used_ > 0) bytes.push_back(uint8_t(acc_ & 0xFF));
        acc_ = 0;
        used_ = 0;
    }
    std::vector<uint8_t> bytes;

private:
    uint64_t acc_ = 0;
    int used_ = 0;
};

// Writes `image` as a GIF with index 0 transparent (pixels under half
// opacity). Codes stay 9 bits wide: a clear code follows every 254 pixels,
// so the table never grows past 511 entries.
bool writeGif(const QImage& source, const std::string& path) {
    const QImage image = source.convertToFormat(QImage::Format_ARGB32);
    std::vector<QRgb> palette{qRgb(0, 0, 0)};
    std::map<QRgb, uint8_t> index;
    std::vector<uint8_t> pixels;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QRgb c = image.pixel(x, y);
            if (qAlpha(c) < 128) {
                pixels.push_back(0);
                continue;
            }
            const QRgb opaque = qRgb(qRed(c), qGreen(c), qBlue(c));
            auto it = index.find(opaque);
            if (it == index.end()) {
                if (palette.size() >= 256) return false;
                it = index.emplace(opaque, uint8_t(palette.size())).first;
                palette.push_back(opaque);
            }
            pixels.push_back(it->second);
        }
    palette.resize(256, qRgb(0, 0, 0));

    BitWriter bits;
    const unsigned clear = 256, end = 257;
    int sinceClear = 0;
    bits.put(clear, 9);
    for (uint8_t px : pixels) {
        if (sinceClear == 254) {
            bits.put(clear, 9);
            sinceClear = 0;
        }
        bits.put(px, 9);
        ++sinceClear;
    }
    bits.put(end, 9);
    bits.flush();

    std::vector<uint8_t> out;
    auto le16 = [&](int v) {
        out.push_back(uint8_t(v & 0xFF));
        out.push_back(uint8_t((v >> 8) & 0xFF));
    };
    for (char ch : std::string("GIF89a")) out.push_back(uint8_t(ch));
    le16(image.width());
    le16(image.height());
    out.insert(out.end(), {0xF7, 0x00, 0x00});
    for (QRgb c : palette) out.insert(out.end(), {uint8_t(qRed(c)), uint8_t(qGreen(c)), uint8_t(qBlue(c))});
    out.insert(out.end(), {0x21, 0xF9, 0x04, 0x01, 0x00, 0x00, 0x00, 0x00});  // index 0 transparent
    out.push_back(0x2C);
    le16(0);
    le16(0);
    le16(image.width());
    le16(image.height());
    out.push_back(0x00);
    out.push_back(0x08);  // minimum code size
    for (size_t at = 0; at < bits.bytes.size(); at += 255) {
        const size_t n = std::min<size_t>(255, bits.bytes.size() - at);
        out.push_back(uint8_t(n));
        out.insert(out.end(), bits.bytes.begin() + long(at), bits.bytes.begin() + long(at + n));
    }
    out.push_back(0x00);
    out.push_back(0x3B);
    std::ofstream file(path, std::ios::binary);
    file.write(reinterpret_cast<const char*>(out.data()), std::streamsize(out.size()));
    return bool(file);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const std::string folder = argv[1];
    const std::vector<std::pair<std::string, QImage>> pngs = {
        {"mac.png", drawMac()},
        {"csv.png", drawCsv()},
        {"linux.png", drawLinux()},
        {"brevolan.png", drawBrevolan()},
        {"windows.png", drawWindows()},
        {"settings.png", drawSettings()},
        {"arrow.png", drawArrow()},
        {"exit_16.png", drawExit()},
        {"help_16.png", drawBadge(QColor(40, 120, 210), "?")},
        {"elephant.png", drawElephant()},
    };
    bool ok = true;
    for (const auto& [name, image] : pngs) {
        const std::string path = folder + "/" + name;
        if (!image.save(QString::fromStdString(path), "PNG")) {
            std::fprintf(stderr, "cannot write %s\n", path.c_str());
            ok = false;
        }
    }
    const std::string gif = folder + "/about_16.gif";
    if (!writeGif(drawBadge(QColor(30, 140, 190), "i"), gif)) {
        std::fprintf(stderr, "cannot write %s\n", gif.c_str());
        ok = false;
    }
    return ok ? 0 : 1;
}
