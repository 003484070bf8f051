#include "ui/windowed_app.h"

#include <QApplication>
#include <QDialog>
#include <QMessageBox>
#include <QSocketNotifier>
#include <QTimer>
#include <csignal>
#include <string>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

#include "app/cmdline.h"
#include "base/run_control.h"
#include "platform/console.h"
#include "ui/main_window.h"
#include "ui/qt_text.h"

namespace trelvar::ui {

namespace {

// The signal handler only writes a byte; the window closes on the main
// thread when the notifier sees it.
int g_signal_pipe[2] = {-1, -1};

void OnTerminate(int) {
  const char byte = 1;
  [[maybe_unused]] const ssize_t n = ::write(g_signal_pipe[1], &byte, 1);
}

bool HasDisplay() {
  return !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") ||
         !qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

}  // namespace

int RunWindowedApplication(int argc, char** argv) {
  if (!HasDisplay()) {
    platform::WriteStderr(
        "Trelvar's windowed application needs a display (DISPLAY or WAYLAND_DISPLAY is not set); "
        "use -console for an analysis run.\n");
    return 2;
  }
  // The browser of the Results mode cannot use its sandbox as root.
  if (::geteuid() == 0) qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
  QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Trelvar"));
  QApplication::setApplicationDisplayName(QStringLiteral("Trelvar"));

  std::vector<std::string> args(argv + 1, argv + argc);
  TCmdLine first;
  const std::string error = first.Parse(args);
  if (!error.empty()) QMessageBox::information(nullptr, QStringLiteral("Trelvar"), Q(error));

  int status = 0;
  {
    TfrmMainW main(args);
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, g_signal_pipe) == 0) {
      auto* notifier = new QSocketNotifier(g_signal_pipe[0], QSocketNotifier::Read, &main);
      QObject::connect(notifier, &QSocketNotifier::activated, &main, [&main] {
        char byte = 0;
        [[maybe_unused]] const ssize_t n = ::read(g_signal_pipe[0], &byte, 1);
        // Open dialogs end first (the progress window's end cancels a
        // running job), then the window closes as its Close command does.
        for (QWidget* window : QApplication::topLevelWidgets())
          if (auto* dialog = qobject_cast<QDialog*>(window); dialog != nullptr && dialog->isVisible())
            dialog->reject();
        main.close();
        QTimer::singleShot(0, qApp, &QCoreApplication::quit);
      });
      struct sigaction action = {};
      action.sa_handler = OnTerminate;
      sigemptyset(&action.sa_mask);
      action.sa_flags = SA_RESTART;
      sigaction(SIGTERM, &action, nullptr);
      sigaction(SIGINT, &action, nullptr);
    }
    QApplication::processEvents();
    main.Open();
    main.show();
    main.CreateModes();
    status = QApplication::exec();
    main.close();
  }
  SetRunControl(nullptr);
  return status;
}

}  // namespace trelvar::ui
