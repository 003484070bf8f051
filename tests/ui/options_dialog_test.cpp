#include "ui/options_dialog.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTabWidget>

#include "config/main_settings.h"
#include "reports/run_context.h"
#include "sites/log_formats.h"
#include "ui/main_window_fixture.h"

namespace trelvar::ui {
namespace {

class OptionsDialogTest : public test::MainWindowTest {
 protected:
  template <typename T>
  T& Control(TfrmOptions& dialog, const char* name) {
    T* control = dialog.findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(control, nullptr) << name;
    return *control;
  }
  TMainSettings& Settings() { return *main->Context().settings; }
  // main.ini as another run reads it.
  std::unique_ptr<TMainSettings> Reread() {
    formats_ = std::make_unique<TLogFmts>();
    return std::make_unique<TMainSettings>(main->Context().folders, *formats_, nullptr);
  }
  std::unique_ptr<TLogFmts> formats_;
};

TEST_F(OptionsDialogTest, OkStoresAndWritesMainIni) {
  TfrmOptions dialog(*main);
  EXPECT_EQ(Control<QLineEdit>(dialog, "edtSmtpPort").text(), QStringLiteral("25"));
  Control<QCheckBox>(dialog, "chkReverseDNSLookup").setChecked(true);
  Control<QCheckBox>(dialog, "chkApproximateAnalysis").setChecked(true);
  Control<QLineEdit>(dialog, "edtApproximateTolerance").setText(QStringLiteral(" 250 "));
  Control<QLineEdit>(dialog, "edtTimeOffset").setText(QStringLiteral("-90"));
  Control<QLineEdit>(dialog, "edtSmtpServer").setText(QStringLiteral("Mail.Example.ORG"));
  Control<QLineEdit>(dialog, "edtSmtpPort").setText(QStringLiteral("2525"));
  Control<QLineEdit>(dialog, "edtMailPassword").setText(QStringLiteral("s3cret;=x"));
  Control<QLineEdit>(dialog, "edtMailSubject").setText(QStringLiteral("Weekly Reports"));
  Control<QPlainTextEdit>(dialog, "edtMailMessage").setPlainText(QStringLiteral("Hello,\n\nthe reports."));
  QString error;
  ASSERT_TRUE(dialog.Store(error)) << error.toStdString();

  EXPECT_TRUE(Settings().reverse_dns_lookup);
  EXPECT_EQ(Settings().approximate_tolerance, 250);
  EXPECT_EQ(Settings().smtp_server, "mail.example.org");
  const std::string file = DataFile("main.ini");
  for (const char* line : {"ReverseDNSLookup=-1\r\n", "ApproximateAnalysis=-1\r\n",
                           "ApproximateTolerance=250\r\n", "SmtpPort=2525\r\n",
                           "SmtpServer=mail.example.org\r\n", "MailSubject=Weekly Reports\r\n",
                           "MailMessage=Hello,\r\nMailMessage=\r\nMailMessage=the reports.\r\n",
                           "TimeOffset=-90\r\n"})
    EXPECT_NE(file.find(line), std::string::npos) << line << file;
  EXPECT_EQ(file.find("s3cret"), std::string::npos);  // kept scrambled

  auto again = Reread();
  EXPECT_TRUE(again->reverse_dns_lookup);
  EXPECT_EQ(again->smtp_port, 2525);
  EXPECT_EQ(again->mail_password, "s3cret;=x");
  EXPECT_EQ(again->mail_message, "Hello,\r\n\r\nthe reports.");
  EXPECT_EQ(again->time_offset, -90);
  // The formats of main.ini go back with it.
  EXPECT_FALSE(formats_->Names().empty());
}

TEST_F(OptionsDialogTest, CancelChangesNothing) {
  const std::string before = DataFile("main.ini");
  {
    TfrmOptions dialog(*main);
    Control<QCheckBox>(dialog, "chkIncrementalAnalysis").setChecked(true);
    Control<QLineEdit>(dialog, "edtSmtpPort").setText(QStringLiteral("587"));
    dialog.reject();
  }
  EXPECT_FALSE(Settings().incremental_analysis);
  EXPECT_EQ(Settings().smtp_port, 25);
  EXPECT_EQ(DataFile("main.ini"), before);
}

TEST_F(OptionsDialogTest, BadNumbersAreRefusedAndNothingIsStored) {
  struct TCase {
    const char* edit;
    const char* text;
    bool good;
  };
  const TCase cases[] = {
      {"edtSmtpPort", "abc", false},        {"edtSmtpPort", "0", false},
      {"edtSmtpPort", "65536", false},      {"edtSmtpPort", "65535", true},
      {"edtSmtpPort", "", false},           {"edtDNSLookupThreads", "0", false},
      {"edtDNSLookupThreads", "201", false}, {"edtDNSLookupThreads", "200", true},
      {"edtApproximateTolerance", "-5", false}, {"edtApproximateTolerance", "1", true},
      {"edtTimeOffset", "1.5", false},      {"edtTimeOffset", "99999999999", false},
      {"edtTimeOffset", "-1440", true},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(std::string(c.edit) + "=" + c.text);
    const std::string before = DataFile("main.ini");
    TfrmOptions dialog(*main);
    Control<QCheckBox>(dialog, "chkCleanOutputFolder").setChecked(!Settings().clean_output_folder);
    const bool clean_before = Settings().clean_output_folder;
    Control<QLineEdit>(dialog, c.edit).setText(QString::fromLatin1(c.text));
    QString error;
    EXPECT_EQ(dialog.Store(error), c.good);
    if (c.good) {
      EXPECT_NE(Settings().clean_output_folder, clean_before);
      continue;
    }
    EXPECT_TRUE(error.contains(QString::fromLatin1(c.text))) << error.toStdString();
    EXPECT_EQ(Settings().clean_output_folder, clean_before);
    EXPECT_EQ(DataFile("main.ini"), before);
    EXPECT_EQ(dialog.Pages().currentWidget(),
              Control<QLineEdit>(dialog, c.edit).parentWidget());  // the page of the bad field
  }
}

TEST_F(OptionsDialogTest, OkWithABadNumberSaysWhyAndStaysOpen) {
  TfrmOptions dialog(*main);
  Control<QLineEdit>(dialog, "edtSmtpPort").setText(QStringLiteral("smtp"));
  QString message;
  test::AnswerNextBox(QMessageBox::Ok, &message);
  dialog.accept();
  EXPECT_TRUE(message.contains(QStringLiteral("smtp"))) << message.toStdString();
  EXPECT_EQ(dialog.result(), QDialog::Rejected);
  EXPECT_EQ(Settings().smtp_port, 25);
}

}  // namespace
}  // namespace trelvar::ui
