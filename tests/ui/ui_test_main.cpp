// One QApplication for every widget and drawing test, on the offscreen
// platform unless the caller chose another. Text is measured in the face
// the package installs, whatever else the machine has: loaded from its
// files and named outright (a Windows face would win the preference list),
// and made the application font as the window makes it.

#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>
#include <iostream>

#include "ui/fonts/packaged_face.h"
#include "ui/fonts/ui_font.h"

int main(int argc, char** argv) {
  if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication app(argc, argv);
  // The tests that measure text check the face themselves and fail on it.
  if (!varn::LoadPackagedUiFace())
    std::cerr << "ui tests: " << varn::PackagedUiFace().toStdString()
              << " did not load (is fonts-noto-cjk installed?)\n";
  varn::SetUiFontName(varn::PackagedUiFace());
  varn::UseUiFaceForApplication();
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
