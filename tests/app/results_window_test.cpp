// The window's run checks its pictures too: the real Form1 shows the start picture so that the
// check applies, and a correct run is valid.
#include <gtest/gtest.h>

#include "app/form1.h"
#include "app/results/validation.h"
#include "platform/headless/headless_controls.h"
#include "platform/headless/headless_runtime.h"

namespace asmpic::app {
namespace {

TEST(WindowValidation, ARunInTheWindowComputesTheExpectedPictures) {
  platform::HeadlessRuntime runtime;
  runtime.echoMessages = false;
  Form1Options options;
  options.assetsDirectory = ASMPIC_ASSETS;
  Form1 form(runtime, options);
  platform::HeadlessShell shell;
  Form1Controls controls{runtime,         form.Engine1(), form.Engine2(),
                         form.Picture2(), form.List1(),   form.Label1(),
                         form.Timer1(),   form.Timer2(),  shell};
  RunState state;
  PictureValidator validator;
  ASSERT_TRUE(Command1_Click(controls, state, {.observer = &validator}));
  const Validation v = validator.result();
  EXPECT_EQ(v.verdict, Verdict::Valid) << v.reason;
  EXPECT_EQ(v.tests.size(), 7u);
}

}  // namespace
}  // namespace asmpic::app
