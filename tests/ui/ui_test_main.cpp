// The windowed application's tests run in one QApplication, without a
// display (the offscreen platform) unless the caller chose one.
#include <gtest/gtest.h>

#include <QApplication>
#include <QtWebEngineWidgets/QtWebEngineWidgets>

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  // The browser's helper processes cannot use their sandbox as root.
  qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
  QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
  QApplication app(argc, argv);
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
