#pragma once
// What the pictures asmbench writes share: their font, labels on a white ground, their colours,
// and the file itself, SVG or PNG by its extension, drawn in memory and then written as every
// other output. The files need no display, only a QGuiApplication (the offscreen platform will
// do) for the fonts.
#include <QColor>
#include <QFont>
#include <QRect>
#include <QSize>
#include <QString>
#include <functional>
#include <memory>
#include <string>

class QGuiApplication;
class QPainter;

namespace asmpic::app {

// The first series of every chart.
inline constexpr QRgb kChartBlue = 0x3366cc;
// The margin around a chart in a file.
inline constexpr int kChartMargin = 12;

// Text needs fonts, and fonts need a QGuiApplication: one on the offscreen platform, unless the
// process already has an application (then nothing).
std::unique_ptr<QGuiApplication> PictureApplication();

// The font of a picture written to a file.
QFont PictureFont();

// A text on a white ground: a line drawn before it stops at its edge instead of crossing it.
void DrawLabel(QPainter& painter, const QRect& box, int flags, const QString& text);

// Whether `path` names an SVG or a PNG file (by its extension, in any case).
bool IsPictureFile(const std::string& path);

// Draws a picture of `size` with `draw` and writes it to `path` as SVG (".svg") or PNG (".png"),
// replacing the file whole or keeping it as it was. The file's title is `title` and its
// description `description` (SVG title and desc, PNG text chunks), nothing else: no name of the
// machine or its user. False, with `error` set, for another extension or a file that cannot be
// written.
bool WritePicture(const std::string& path, QSize size, const std::function<void(QPainter&)>& draw,
                  const QString& title, const QString& description, std::string* error);

}  // namespace asmpic::app
