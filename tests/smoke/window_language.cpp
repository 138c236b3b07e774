// The window in the user's language on a real X server: the translation asmbench installs is
// chosen from the environment (LANGUAGE, LANG), the button's caption is checked, then the end-of-run
// question is answered Yes and, with an opener that cannot open the mail link, the message with the
// mail's subject is checked. Then a run: the score's tooltip, the results dialog and its chart
// must speak the same language (no English word under Russian, no Russian under English, names
// of the machine, the kernels' targets and the product aside). The window, the question, the
// message, the dialog and the chart are saved as PNG files.
//   window_language en|ru PREFIX    (writes PREFIX-window.png, PREFIX-question.png, PREFIX-mail.png,
//                                    PREFIX-dialog.png, PREFIX-chart.png)
#include <QApplication>
#include <QBuffer>
#include <QLabel>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QSvgGenerator>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QXmlStreamReader>
#include <cstdio>

#include "app/history/chart.h"
#include "app/results/machine_info.h"
#include "app/run/form1_handlers.h"
#include "app/run/translation.h"
#include "app/window/form1.h"
#include "app/window/results_dialog.h"
#include "app/window/window_results.h"
#include "platform/qt/qt_runtime.h"
#include "platform/qt/qt_shell.h"

#if defined(__SANITIZE_ADDRESS__)
// See tests/support/qt_test_main.cpp.
extern "C" const char* __asan_default_options() {
  return "intercept_tls_get_addr=0";
}
#endif

namespace {

struct Texts {
  QString caption, title, prompt, yes, no, mailTitle, mailPrompt;
};

const Texts kEnglish{"Start (relevant for old PCs up to 2004)",
                     "TEST COMPLETED SUCCESSFULLY",
                     "Do you want to send the results to the program's author?",
                     "&Yes",
                     "&No",
                     "Mail not sent",
                     "The mail program could not be opened. Send a mail by hand with the subject:\n\n"
                     "My score is 1212B"};
const Texts kRussian{QString::fromUtf8("Запустить (актуально для старых ПК до 2004 года)"),
                     QString::fromUtf8("ТЕСТ ЗАВЕРШЕН УСПЕШНО"),
                     QString::fromUtf8("Хотите послать результаты автору программы?"),
                     QString::fromUtf8("&Да"),
                     QString::fromUtf8("&Нет"),
                     QString::fromUtf8("Письмо не отправлено"),
                     QString::fromUtf8("Не удалось открыть почтовую программу. Отправьте письмо вручную с "
                                       "темой:\n\nMy score is 1212B")};

int failures = 0;

void Expect(const char* what, const QString& seen, const QString& expected) {
  if (seen == expected) return;
  std::fprintf(stderr, "window language: %s is \"%s\", expected \"%s\"\n", what, qPrintable(seen),
               qPrintable(expected));
  ++failures;
}

// What the X server shows of a widget, saved as PNG.
void SaveFromScreen(QWidget& widget, const QString& path) {
  const QRect area(widget.mapToGlobal(QPoint(0, 0)), widget.size());
  const QImage shot =
      widget.screen()->grabWindow(0, area.x(), area.y(), area.width(), area.height()).toImage();
  if (!shot.save(path, "PNG")) {
    std::fprintf(stderr, "window language: cannot save %s\n", qPrintable(path));
    ++failures;
  }
}

// Every text the dialog shows: its title, labels, buttons, the table's headers and cells.
QStringList DialogTexts(const QDialog& dialog) {
  QStringList texts{dialog.windowTitle()};
  for (const auto* label : dialog.findChildren<QLabel*>()) texts << label->text();
  for (const auto* button : dialog.findChildren<QAbstractButton*>()) texts << button->text();
  for (const auto* table : dialog.findChildren<QTableWidget*>()) {
    for (int c = 0; c < table->columnCount(); ++c) texts << table->horizontalHeaderItem(c)->text();
    for (int r = 0; r < table->rowCount(); ++r)
      for (int c = 0; c < table->columnCount(); ++c)
        if (const auto* item = table->item(r, c)) texts << item->text();
  }
  return texts;
}

// Every text the chart draws, read back from the same chart drawn as SVG.
QStringList ChartTexts(const asmpic::app::ChartWidget& chart) {
  QBuffer svg;
  svg.open(QIODevice::WriteOnly);
  QSvgGenerator generator;
  generator.setOutputDevice(&svg);
  generator.setSize(chart.size());
  generator.setTitle(QString());  // the file's own title and description are no texts of the chart
  generator.setDescription(QString());
  {
    QPainter painter(&generator);
    asmpic::app::DrawChart(painter, chart.comparison(), chart.rect(), chart.font());
  }
  QStringList texts;
  QXmlStreamReader xml(svg.data());
  while (!xml.atEnd()) {
    if (xml.readNext() == QXmlStreamReader::Characters && !xml.isWhitespace()) texts << xml.text().toString();
  }
  return texts;
}

// Texts in the other language: any Cyrillic letter under English; under Russian, any word of
// Latin letters once the machine's own names, the kernels' targets (AVX2, SSE4, ...) and the
// product's name are taken out.
QStringList names;  // the processors of the chart's results, which are data

void ExpectOneLanguage(const char* where, const QStringList& texts, bool english) {
  const asmpic::app::MachineInfo machine = asmpic::app::ReadMachineInfo();
  for (QString text : texts) {
    for (const QString& name : names) text.remove(name);
    const QString seen = text;
    if (english) {
      if (text.contains(QRegularExpression(QStringLiteral("[\\x{0400}-\\x{04FF}]")))) {
        std::fprintf(stderr, "window language: Russian in the %s: \"%s\"\n", where, qPrintable(seen));
        ++failures;
      }
      continue;
    }
    for (const auto& name : {machine.cpuModel, machine.os, machine.architecture}) {
      if (name) text.remove(QString::fromStdString(*name));
    }
    text.remove(QRegularExpression(QStringLiteral("ASMpic Bench|JSON|Ctrl\\+R|\\*\\.json|\\b[A-Z][A-Z0-9_]+\\b")));
    if (text.contains(QRegularExpression(QStringLiteral("[A-Za-z]{2,}")))) {
      std::fprintf(stderr, "window language: English in the %s: \"%s\"\n", where, qPrintable(seen));
      ++failures;
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  if (argc != 3) {
    std::fprintf(stderr, "usage: window_language en|ru PREFIX\n");
    return 2;
  }
  const QString language = QString::fromLocal8Bit(argv[1]);
  const QString prefix = QString::fromLocal8Bit(argv[2]);
  const Texts& expected = language == "en" ? kEnglish : kRussian;
  const QString installed = asmpic::app::InstallTranslation(application);
  std::printf("languages %s: translation \"%s\"\n", qPrintable(QLocale().uiLanguages().join(',')),
              qPrintable(installed));

  asmpic::platform::QtRuntime runtime;
  asmpic::platform::QtShell shell;
  const auto form = asmpic::app::ShowForm1(runtime);
  if (!QTest::qWaitForWindowExposed(form.get(), 10000)) {
    std::fprintf(stderr, "window language: the window was never shown\n");
    return 1;
  }
  QTest::qWait(300);  // let the server finish drawing
  Expect("the button's caption", form->Command1().text(), expected.caption);
  SaveFromScreen(*form, prefix + "-window.png");

  // Each message box in turn: read, photographed, answered (Yes to the question, OK to the rest).
  int boxes = 0;
  QTimer watcher;
  QObject::connect(&watcher, &QTimer::timeout, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (box == nullptr || !box->isVisible()) return;
    watcher.stop();
    (void)QTest::qWaitForWindowExposed(box, 5000);
    QTest::qWait(200);
    if (QAbstractButton* yes = box->button(QMessageBox::Yes)) {
      Expect("the question's title", box->windowTitle(), expected.title);
      Expect("the question", box->text(), expected.prompt);
      Expect("the Yes button", yes->text(), expected.yes);
      Expect("the No button", box->button(QMessageBox::No)->text(), expected.no);
      SaveFromScreen(*box, prefix + "-question.png");
      yes->click();
    } else {
      Expect("the mail message's title", box->windowTitle(), expected.mailTitle);
      Expect("the mail message", box->text(), expected.mailPrompt);
      SaveFromScreen(*box, prefix + "-mail.png");
      box->button(QMessageBox::Ok)->click();
    }
    ++boxes;
    watcher.start();
  });
  watcher.start(50);

  // Label1 holds its start text, 1212 in red, so the link's subject ends in 1212B.
  asmpic::app::Form1Controls controls{runtime,          form->Engine1(), form->Engine2(),
                                      form->Picture2(), form->List1(),   form->Label1(),
                                      form->Timer1(),   form->Timer2(),  shell};
  asmpic::app::Timer2_Timer(controls);
  if (!QTest::qWaitFor([&] { return boxes == 2; }, 10000)) {
    std::fprintf(stderr, "window language: %d of the 2 message boxes appeared\n", boxes);
    ++failures;
  }

  // A run, its tooltip, then the results dialog opened by a double-click on the score.
  QTemporaryDir folder;
  asmpic::app::RunState state;
  asmpic::app::HistoryOptions history;
  history.dbPath = folder.filePath(QStringLiteral("history.sqlite")).toStdString();
  asmpic::app::WindowResults results(*form, history);
  if (!results.Record([&](asmpic::app::RunObserver* observer) {
        return asmpic::app::Command1_Click(controls, state, {.observer = observer});
      })) {
    std::fprintf(stderr, "window language: the run did not finish\n");
    return 1;
  }
  const bool english = language == "en";
  ExpectOneLanguage("score's tooltip", {form->Label1().toolTip()}, english);
  QTest::mouseDClick(&form->Label1(), Qt::LeftButton);
  auto* dialog = form->findChild<asmpic::app::ResultsDialog*>(QStringLiteral("ResultsDialog"));
  if (dialog == nullptr || !QTest::qWaitForWindowExposed(dialog, 10000)) {
    std::fprintf(stderr, "window language: no results dialog after a double-click\n");
    return 1;
  }
  QTest::qWait(300);
  ExpectOneLanguage("results dialog", DialogTexts(*dialog), english);
  SaveFromScreen(*dialog, prefix + "-dialog.png");
  auto* chart = dialog->findChild<asmpic::app::ChartWidget*>(QStringLiteral("resultsChart"));
  if (chart == nullptr) {
    std::fprintf(stderr, "window language: the dialog has no chart\n");
    return 1;
  }
  for (const auto& column : chart->comparison().columns) names << QString::fromStdString(column.cpuModel);
  names.removeAll(QString());
  const QStringList chartTexts = ChartTexts(*chart);
  if (chartTexts.size() < 20) {
    std::fprintf(stderr, "window language: the chart drew only %lld texts\n",
                 static_cast<long long>(chartTexts.size()));
    ++failures;
  }
  ExpectOneLanguage("chart", chartTexts, english);
  // The chart's texts are the dialog's size, not scaled down.
  if (chart->font().pixelSize() > 0 && chart->font() != dialog->font()) {
    std::fprintf(stderr, "window language: the chart's font is not the dialog's\n");
    ++failures;
  }
  if (!chart->grab().save(prefix + "-chart.png", "PNG")) ++failures;

  std::printf("window language %s: %s\n", qPrintable(language), failures == 0 ? "ok" : "FAILED");
  return failures == 0 ? 0 : 1;
}
