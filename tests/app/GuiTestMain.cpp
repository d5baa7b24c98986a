// Every test program with windows runs inside the program's own application object, so
// that errors escaping a handler take the same road as in the program.
#include <gtest/gtest.h>

#include "app/KelvoryApplication.h"

int main(int argc, char** argv) {
  // Test discovery runs the binary at build time, where there may be no display.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  ::testing::InitGoogleTest(&argc, argv);
  kelvory::KelvoryApplication application(argc, argv);
  // The tests expect the window's own Russian texts whatever language the system speaks
  // (Wine's follows the host's locale); the language tests choose theirs.
  application.SetLanguage(kelvory::Language::Russian);
  return RUN_ALL_TESTS();
}
