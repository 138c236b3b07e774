#include "app/window/form1.h"

#include <QFileInfo>
#include <QFont>
#include <QGuiApplication>
#include <QIcon>
#include <QImage>
#include <QPixmap>
#include <QStringList>
#include <cstdio>

#include "app/run/assets.h"
#include "app/run/score.h"
#include "platform/picture_io.h"
#include "platform/picture_save.h"
#include "platform/qt/qt_twips.h"

namespace asmpic::app {

namespace {

// Positions and sizes in twips: left, top, width, height (Label1's relative to Picture2).
struct TwipsRect {
  float left, top, width, height;
};
constexpr float kClientWidth = 4680;
constexpr float kClientHeight = 5535;
constexpr TwipsRect kPicture1{120, 120, 4455, 3255};
constexpr TwipsRect kCommand1{120, 5040, 4455, 375};
constexpr TwipsRect kList1{120, 3480, 4455, 1425};
constexpr TwipsRect kPicture2{120, 3480, 4455, 1455};
constexpr TwipsRect kLabel1{120, 120, 4215, 1215};

constexpr platform::Colour kBlack = 0;

void Place(QWidget& widget, const TwipsRect& r, float twipsPerPixelX, float twipsPerPixelY) {
  widget.setGeometry(
      platform::TwipsToPixels(r.left, twipsPerPixelX), platform::TwipsToPixels(r.top, twipsPerPixelY),
      platform::TwipsToPixels(r.width, twipsPerPixelX), platform::TwipsToPixels(r.height, twipsPerPixelY));
}

void PlaceBox(platform::QtPictureBox& box, const TwipsRect& r, float twipsPerPixelX, float twipsPerPixelY) {
  box.SetGeometryTwips(r.left, r.top, r.width, r.height, twipsPerPixelX, twipsPerPixelY);
}

// Shows a start picture at the box's top-left; a missing or unreadable one leaves the box black.
void ShowStartPicture(platform::QtPictureBox& box, const std::string& path) {
  std::string error;
  if (const auto picture = platform::LoadPictureFile(path, &error)) {
    box.SetPicture(&*picture);
  } else {
    std::fprintf(stderr, "asmbench: start picture not shown: %s\n", error.c_str());
  }
}

}  // namespace

Form1::Form1(platform::Runtime& runtime, const Form1Options& options)
    : runtime_(runtime), window_(*this), timer1_(30, true), timer2_(10000, false) {
  const std::string assets = options.assetsDirectory.empty() ? AssetsDirectory() : options.assetsDirectory;
  BuildControls(assets);
  if (options.screenBitsPerPixel) {
    picture1_->SetScreenBitsPerPixel(options.screenBitsPerPixel);
    picture2_->SetScreenBitsPerPixel(options.screenBitsPerPixel);
  }
  Form_Load();
}

Form1::~Form1() = default;

void Form1::BuildControls(const std::string& assets) {
  const float tppX = runtime_.TwipsPerPixelX();
  const float tppY = runtime_.TwipsPerPixelY();

  // A fixed frame: no resizing, no minimise or maximise button.
  setWindowFlags(Qt::Window | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint |
                 Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
  setWindowTitle(QStringLiteral("ASMpic Bench"));
  setFixedSize(platform::TwipsToPixels(kClientWidth, tppX), platform::TwipsToPixels(kClientHeight, tppY));
  // The classic dialog font, 8.25 points, or a sans serif of its size: the button's caption fits.
  QFont dialogFont;
  dialogFont.setFamilies({QStringLiteral("MS Sans Serif"), QStringLiteral("Liberation Sans")});
  dialogFont.setPointSizeF(8.25);
  setFont(dialogFont);
  const QString icon = QString::fromStdString(assets + "/icon.png");
  if (QFileInfo::exists(icon)) setWindowIcon(QIcon(icon));

  // Made in tab order; each later control lies above the earlier ones (Picture2 over List1).
  picture1_ = new platform::QtPictureBox(window_, this);
  picture1_->setObjectName(QStringLiteral("Picture1"));
  picture1_->SetBackColor(kBlack);
  PlaceBox(*picture1_, kPicture1, tppX, tppY);
  ShowStartPicture(*picture1_, assets + "/picture1.jpg");

  command1_ = new platform::QtButton(this);
  command1_->setObjectName(QStringLiteral("Command1"));
  command1_->setText(tr("Запустить (актуально для старых ПК до 2004 года)"));
  Place(*command1_, kCommand1, tppX, tppY);

  list1_ = new platform::QtListBox(this);
  list1_->setObjectName(QStringLiteral("List1"));
  Place(*list1_, kList1, tppX, tppY);

  picture2_ = new platform::QtPictureBox(window_, this);
  picture2_->setObjectName(QStringLiteral("Picture2"));
  picture2_->SetBackColor(kBlack);
  PlaceBox(*picture2_, kPicture2, tppX, tppY);
  ShowStartPicture(*picture2_, assets + "/picture2.bmp");

  label1_ = new platform::QtLabel(picture2_);
  label1_->setObjectName(QStringLiteral("Label1"));
  label1_->SetCaption("1212");
  label1_->SetForeColor(kRed);
  // Arial where it is installed, else its metric-compatible stand-in.
  QFont font;
  font.setFamilies({QStringLiteral("Arial"), QStringLiteral("Liberation Sans")});
  font.setPointSize(48);
  font.setWeight(QFont::Bold);
  font.setUnderline(true);
  label1_->setFont(font);
  label1_->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
  Place(*label1_, kLabel1, tppX, tppY);

  setTabOrder(picture1_, command1_);
  setTabOrder(command1_, list1_);
  setTabOrder(list1_, picture2_);
  setTabOrder(picture2_, label1_);
}

void Form1::Form_Load() {
  engine1_ = std::make_unique<clsASMpic>(runtime_);
  engine1_->PictureBox(*picture1_);
  engine2_ = std::make_unique<clsASMpic>(runtime_);
  engine2_->PictureBox(*picture2_);
  // Binding shows the box it draws into; the score display stays hidden until a run ends.
  picture2_->SetVisible(false);
}

bool Form1::SaveScreenshot(const std::string& path, std::string* error) {
  const auto format = platform::PictureFormatOf(path);
  if (!format) {
    if (error != nullptr) *error = path + ": the name ends in none of .png, .bmp, .jpg, .jpeg";
    return false;
  }
  QImage shot = grab().toImage().convertToFormat(QImage::Format_RGB32);
  const platform::ImageView view{shot.bits(), shot.width(), shot.height(), shot.bytesPerLine()};
  return platform::SavePictureFile(view, path, *format, error);
}

std::unique_ptr<Form1> ShowForm1(platform::Runtime& runtime, const Form1Options& options) {
  QGuiApplication::setDesktopFileName(QStringLiteral("asmpic-bench"));
  auto form = std::make_unique<Form1>(runtime, options);
  form->show();
  return form;
}

}  // namespace asmpic::app
