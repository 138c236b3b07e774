// The window's language: which translation a user's languages choose, and that under the English
// one the whole window (button, question, title, Yes/No, the unopened-mail message) speaks English
// while the mail link keeps its text.
#include <gtest/gtest.h>
#include <QCoreApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTranslator>

#include "app/run/assets.h"
#include "app/window/form1.h"
#include "app/run/form1_handlers.h"
#include "app/run/translation.h"
#include "platform/headless/headless_controls.h"
#include "platform/headless/headless_runtime.h"
#include "platform/qt/qt_runtime.h"
#include "tests/support/qt_modal.h"

namespace asmpic::app {
namespace {

TEST(ChooseLanguage, TheFirstPreferredLanguageWithTextsWinsAndRussianIsTheOriginal) {
  const QStringList english{"en"};
  EXPECT_EQ(ChooseLanguage({"en-US", "ru-RU"}, english), "en");
  EXPECT_EQ(ChooseLanguage({"en-GB"}, english), "en");
  EXPECT_EQ(ChooseLanguage({"ru-RU", "en-US"}, english), "");    // Russian first: the original texts
  EXPECT_EQ(ChooseLanguage({"de-DE", "en-US"}, english), "en");  // no German texts: the next language
  EXPECT_EQ(ChooseLanguage({"de-DE", "fr-FR"}, english), "");
  EXPECT_EQ(ChooseLanguage({"C"}, english), "");
  EXPECT_EQ(ChooseLanguage({}, english), "");
  EXPECT_EQ(ChooseLanguage({"en-US"}, {}), "");  // no translation at hand
}

class English : public ::testing::Test {
 protected:
  void SetUp() override {
    const QString file = QString::fromStdString(TranslationsDirectory()) + "/asmbench_en.qm";
    ASSERT_TRUE(translator.load(file)) << file.toStdString();
    QCoreApplication::installTranslator(&translator);
    runtime.echoMessages = false;
  }
  void TearDown() override { QCoreApplication::removeTranslator(&translator); }

  QTranslator translator;
  platform::HeadlessRuntime runtime;
};

TEST_F(English, TheButtonTheQuestionAndTheMailMessageSpeakEnglishAndTheLinkDoesNot) {
  Form1 form(runtime, {ASMPIC_ASSETS, std::nullopt});
  EXPECT_EQ(form.Command1().text(), QStringLiteral("Start (relevant for old PCs up to 2004)"));

  platform::HeadlessShell shell;
  shell.canOpen = false;
  Form1Controls controls{runtime,         form.Engine1(), form.Engine2(),
                         form.Picture2(), form.List1(),   form.Label1(),
                         form.Timer1(),   form.Timer2(),  shell};
  runtime.answers.push_back(platform::MsgBoxResult::Yes);
  Timer2_Timer(controls);
  ASSERT_EQ(runtime.messages.size(), 2u);
  EXPECT_EQ(runtime.messages[0].title, "TEST COMPLETED SUCCESSFULLY");
  EXPECT_EQ(runtime.messages[0].prompt, "Do you want to send the results to the program's author?");
  EXPECT_EQ(runtime.messages[1].title, "Mail not sent");
  EXPECT_EQ(
      runtime.messages[1].prompt,
      "The mail program could not be opened. Send a mail by hand with the subject:\n\nMy score is 1212B");
  EXPECT_EQ(shell.opened, std::vector<std::string>{"mailto:?subject=My%20score%20is%201212B"});
}

TEST_F(English, TheQuestionsAnswersSpeakEnglish) {
  platform::QtRuntime qt;
  QString yes, no;
  testing::WhenShown<QMessageBox>([&](QMessageBox& box) {
    yes = box.button(QMessageBox::Yes)->text();
    no = box.button(QMessageBox::No)->text();
    box.button(QMessageBox::No)->click();
  });
  qt.MsgBox("?", platform::MsgBoxButtons::YesNo, platform::MsgBoxIcon::Question, "t");
  EXPECT_EQ(yes, QStringLiteral("&Yes"));
  EXPECT_EQ(no, QStringLiteral("&No"));
}

}  // namespace
}  // namespace asmpic::app
