// main() of the GUI test binaries: one QApplication for every test, or a QGuiApplication in the
// binaries without Qt Widgets (fonts and painting need no more).
#include <gtest/gtest.h>
#if defined(QT_WIDGETS_LIB)
#include <QApplication>
using TestApplication = QApplication;
#else
#include <QGuiApplication>
using TestApplication = QGuiApplication;
#endif

#if defined(__SANITIZE_ADDRESS__)
// LeakSanitizer's walk over the dynamic TLS blocks crashes ("Tracer caught signal 11" on a
// bogus DTLS range) once Qt has loaded its plugins on this toolchain's sanitizer runtime. Not
// tracking __tls_get_addr leaves leak detection on and skips only that walk. ASAN_OPTIONS from
// the environment still override this.
extern "C" const char* __asan_default_options() {
  return "intercept_tls_get_addr=0";
}
#endif

int main(int argc, char** argv) {
  // ctest sets the offscreen platform for the tests, but not for listing them (test discovery),
  // and a run by hand should not need a display either.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  // Every run, by ctest or by hand, keeps its history in this build's own folder, never in the
  // user's data folder nor in one that another build's tests share.
  qputenv("XDG_DATA_HOME", ASMPIC_TEST_DATA_HOME);
  TestApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
