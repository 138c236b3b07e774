// The window in the user's language on a real X server: the translation asmbench installs is
// chosen from the environment (LANGUAGE, LANG), the button's caption is checked, then the end-of-run
// question is answered Yes and, with an opener that cannot open the mail link, the message with the
// mail's subject is checked. The window, the question and the message are saved as PNG files.
//   window_language en|ru PREFIX    (writes PREFIX-window.png, PREFIX-question.png, PREFIX-mail.png)
#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <cstdio>

#include "app/window/form1.h"
#include "app/run/form1_handlers.h"
#include "app/run/translation.h"
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
  std::printf("window language %s: %s\n", qPrintable(language), failures == 0 ? "ok" : "FAILED");
  return failures == 0 ? 0 : 1;
}
