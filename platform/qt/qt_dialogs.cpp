#include "platform/qt/qt_dialogs.h"

#include <QColorDialog>
#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QStringList>

#include "platform/qt/qt_colour.h"
#include "platform/qt/qt_window.h"

namespace asmpic::platform {

namespace {

QWidget* OwnerWidget(Window& owner) {
  auto* window = dynamic_cast<QtWindow*>(&owner);
  return window != nullptr ? &window->widget() : nullptr;
}

QString FromUtf8(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// The filters say "*.*" for every file, as the engine's dialogs always have; on this system that
// pattern would hide every name without a dot. The dialog keeps showing the filter's text, but
// its list matches every name while such a filter is chosen. This needs Qt's own dialog, whose
// list we can reach.
void MatchEveryFileForStarDotStar(QFileDialog& dialog) {
  auto* model = dialog.findChild<QFileSystemModel*>();
  if (model == nullptr) return;
  const auto widen = [model] {
    QStringList patterns = model->nameFilters();
    if (patterns.removeAll(QStringLiteral("*.*")) == 0) return;
    patterns << QStringLiteral("*");
    model->setNameFilters(patterns);
  };
  widen();
  // Connected after the dialog's own handler, so it widens what the dialog has just set.
  if (auto* types = dialog.findChild<QComboBox*>(QStringLiteral("fileTypeCombo")))
    QObject::connect(types, &QComboBox::activated, model, widen);
}

std::optional<std::string> AskForFile(Window& owner, std::string_view title,
                                      std::span<const FileFilter> filter, QFileDialog::AcceptMode mode) {
  QFileDialog dialog(OwnerWidget(owner), FromUtf8(title));
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setNameFilter(QtFileFilter(filter));
  MatchEveryFileForStarDotStar(dialog);
  dialog.setAcceptMode(mode);
  if (mode == QFileDialog::AcceptOpen) {
    dialog.setFileMode(QFileDialog::ExistingFile);
  } else {
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
  }
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return QFile::encodeName(dialog.selectedFiles().constFirst()).toStdString();
}

}  // namespace

QString QtFileFilter(std::span<const FileFilter> filter) {
  QStringList entries;
  for (const FileFilter& entry : filter) {
    QString label = QString::fromStdString(entry.label).trimmed();
    if (!(label.endsWith(u')') && label.contains(u'('))) {
      // Qt reads the patterns from the parentheses, separated by blanks.
      label += QStringLiteral(" (%1)").arg(QString::fromStdString(entry.patterns).replace(u';', u' '));
    }
    entries << label;
  }
  return entries.join(QStringLiteral(";;"));
}

std::optional<std::string> QtDialogs::GetOpenFileName(Window& owner, std::string_view title,
                                                      std::span<const FileFilter> filter) {
  return AskForFile(owner, title, filter, QFileDialog::AcceptOpen);
}

std::optional<std::string> QtDialogs::GetSaveFileName(Window& owner, std::string_view title,
                                                      std::span<const FileFilter> filter) {
  return AskForFile(owner, title, filter, QFileDialog::AcceptSave);
}

std::optional<Colour> QtDialogs::ChooseColor(Window& owner, CustomColours& custom) {
  // The custom colours are the dialog's shared ones: set them before it is built so it shows them.
  for (int i = 0; i < static_cast<int>(custom.size()); ++i)
    QColorDialog::setCustomColor(i, ToQColor(custom[i]));
  QColorDialog dialog(Qt::black, OwnerWidget(owner));
  // Qt's own dialog keeps the sixteen custom colours; a desktop's may not.
  dialog.setOption(QColorDialog::DontUseNativeDialog);
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  for (int i = 0; i < static_cast<int>(custom.size()); ++i)
    custom[i] = FromQColor(QColorDialog::customColor(i));
  return FromQColor(dialog.selectedColor());
}

}  // namespace asmpic::platform
